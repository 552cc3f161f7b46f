// What tolvpack writes, in UTF-8 inside. On Linux it goes out as it is; on
// Windows a console gets it through the wide console functions, so any name
// shows right whatever the code page, and a file or pipe gets the system's
// code page (Shift-JIS on a Japanese system), as other console tools write.
#pragma once
#include <cstdio>
#include <string>

// One line of text, its end added.
void PrintLine(FILE* stream, const std::string& utf8);
// UTF-8 bytes exactly as they are (a JSON document).
void PrintRaw(FILE* stream, const std::string& utf8);
// "tolvpack: <file>: <what>" on standard error.
void ReportFileError(const std::string& file, const std::string& what);
bool StandardErrorIsTerminal();
// Columns of the terminal standard output goes to; 80 when it is none.
int TerminalColumns();
// Text broken into lines of at most `columns`, between words; lines that
// begin with blanks keep them (examples, lists).
std::string WrapText(const std::string& text, int columns);
// "1 entry", "2 entries".
std::string CountOf(long count, const char* one, const char* many);
