// tolvpack: the console tool for build scripts over the shared core.
#include "tolvpack.h"

int main(int argc, char** argv) { return RunTolvpack(argc, argv); }
