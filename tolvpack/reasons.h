// Why a folder, a list, an entry or a name fails, in the words every
// command uses, each saying what to do about it.
#pragma once
#include <string>

#include "list_check.h"
#include "pair_list.h"

// Why a folder named on the command line cannot be used; "" when it can.
std::string FolderProblem(const char* path);
// The folder a path names a file of: "art" for "art/a.bmp", "." for "a.bmp".
std::string FolderOf(const std::string& path);
// Why a list is not one the restorer reads; "" when it is.
const char* ListFormatText(ListFormat format);
// Why an entry would not be restored; "" when it would.
const char* EntryProblemText(EntryProblem problem);
// The codec's reason for the last load or save that failed on this thread.
std::string CodecReason();
// Why a file name has no Shift-JIS spelling, and what to rename it to.
std::string UnspeltNameAdvice(const char* utf8Name);
