// tolvpack: the console tool for build scripts over the shared core.
#include <string>
#include <vector>

#include "folder_files.h"
#include "tolvpack.h"

int main(int argc, char** argv) {
    RemoveTemporariesWhenStopped();
    std::vector<std::string> arguments = CommandLineArguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& argument : arguments) pointers.push_back(&argument[0]);
    pointers.push_back(nullptr);
    return RunTolvpack(static_cast<int>(arguments.size()), pointers.data());
}
