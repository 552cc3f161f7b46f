// Single-file and folder conversions.
#include "conversions.h"

void SingleConvertCommand(ConversionKind) {}
void FolderConvertCommand(ConversionKind) {}
