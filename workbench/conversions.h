// The Convert menu's conversions: one chosen file, or every matching file
// of a chosen folder.
#pragma once

enum class ConversionKind { JpgToBmp, BmpToJpg, JpgToJpg };

void SingleConvertCommand(ConversionKind kind);  // 41, 42, 46
void FolderConvertCommand(ConversionKind kind);  // 43, 44, 47

// Workers of a folder conversion; 0: one per processor.
extern int FolderConvertWorkers;
