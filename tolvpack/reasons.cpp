#include "reasons.h"

#include <cstdio>
#include <cstring>

#include "folder_files.h"
#include "imgctl.h"

std::string FolderOf(const std::string& path) {
    size_t cut = path.find_last_of(kFolderSeparator[0] == '\\' ? "\\/" : "/");
    return cut == std::string::npos ? "." : cut == 0 ? path.substr(0, 1) : path.substr(0, cut);
}

std::string FolderProblem(const char* path) {
    if (IsFolder(path)) return "";
    if (FileBytes(path) < 0) return "no such folder";
    return "not a folder: give the folder that holds it (" + FolderOf(path) + ")";
}

const char* ListFormatText(ListFormat format) {
    switch (format) {
    case kListInFormat: break;
    case kListNoCount: return "not a list the restorer reads: empty";
    case kListByteOrderMark: return "not a list the restorer reads: a byte order mark before the count";
    case kListWideText: return "not a list the restorer reads: UTF-16 text (save it as Shift-JIS)";
    case kListCountNotDecimal: return "not a list the restorer reads: the count is not decimal digits";
    case kListMoreNamesThanCount: return "not a list the restorer reads: more names follow than the count allows (correct the count)";
    case kListFewerNamesThanCount: return "not a list the restorer reads: the names end before the count is reached (correct the count; a 0x1A byte ends the text)";
    case kListNameTooLong: return "not a list the restorer reads: a name longer than 255 bytes";
    }
    return "";
}

const char* EntryProblemText(EntryProblem problem) {
    switch (problem) {
    case kEntryRestorable: break;
    case kEntryNameNotCarried: return "a name is empty, longer than 60 bytes, not Shift-JIS, or holds a blank or a control byte";
    case kEntryNameLeavesFolder: return "a name leaves the folder";
    case kEntryPathTooLong: return "the path is longer than 255 bytes";
    case kEntryJpegMissing: return "no such JPEG in the folder";
    case kEntryBmpIsItsJpeg: return "the BMP would overwrite its own JPEG";
    case kEntryBmpIsAnotherJpeg: return "the BMP would overwrite another entry's JPEG";
    case kEntryBmpIsListFile: return "the BMP would overwrite the list file";
    case kEntryNameIsRestorers: return "a name is one of the restorer's own files (~tv*.tmp, ~tvlock.tmp, tvdone.txt): give the file another name";
    case kEntryThroughLink: return "a name passes through a link (symbolic link or junction) that may lead out of the folder: put the files themselves in the folder";
    }
    return "";
}

std::string CodecReason() {
    char text[160];
    DescribeImgctlError(LastImgctlError(), text, sizeof text);
    return text;
}

namespace {

// Characters that JIS spells in Shift-JIS but Windows' code page 932 reads
// back as a look-alike: the look-alike is the one to name a file with.
const struct {
    unsigned code;
    const char* lookAlike;
    unsigned lookAlikeCode;
} kLookAlikes[] = {{0x301C, u8"～", 0xFF5E}, {0x2212, u8"－", 0xFF0D}, {0x2014, u8"―", 0x2015},
                   {0x2016, u8"∥", 0x2225},  {0x00A2, u8"￠", 0xFFE0}, {0x00A3, u8"￡", 0xFFE1},
                   {0x00AC, u8"￢", 0xFFE2}};

std::string CodeName(unsigned code) {
    char text[16];
    snprintf(text, sizeof text, "U+%04X", code);
    return text;
}

}  // namespace

std::string UnspeltNameAdvice(const char* utf8Name) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8Name);
    while (*p) {
        const unsigned char* start = p;
        unsigned code = *p;
        int extra = code >= 0xF0 ? 3 : code >= 0xE0 ? 2 : code >= 0xC0 ? 1 : 0;
        if (extra) code &= 0x3Fu >> extra;
        ++p;
        for (; extra > 0 && (*p & 0xC0) == 0x80; --extra) code = (code << 6) | (*p++ & 0x3Fu);
        std::string character(reinterpret_cast<const char*>(start), static_cast<size_t>(p - start));
        char spelt[16];
        if (Utf8ToListName(character.c_str(), spelt)) continue;
        std::string text = "no Shift-JIS spelling for " + character + " (" + CodeName(code) + "): left out; rename it";
        for (const auto& alike : kLookAlikes)
            if (alike.code == code)
                return text + " with " + alike.lookAlike + " (" + CodeName(alike.lookAlikeCode) +
                       ") in its place, the character Windows spells in Shift-JIS";
        return text + " without that character";
    }
    return "no Shift-JIS spelling: left out; rename it";
}
