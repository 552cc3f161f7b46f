// Opening and saving the pair list file.
#include "list_files.h"

void OpenListCommand() {}
void SaveListCommand() {}
