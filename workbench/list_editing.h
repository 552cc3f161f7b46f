// The Edit menu: add one JPEG with its BMP name dialog, delete and edit the
// selected entry, and add every JPEG of a folder.
#pragma once

#include "bounded_string.h"

void AddEntryCommand();     // 31
void DeleteEntryCommand();  // 32
void EditEntryCommand();    // 33
void AddFolderCommand();    // 34

// The BMP name made from a JPEG name: its last three bytes replaced by
// "bmp" (photo.jpg gives photo.bmp). A name shorter than three bytes is
// replaced whole, and a double-byte character is never split: its lead
// byte goes with the bytes replaced.
void DeriveBmpName(const char* jpgName, char (&bmpName)[kNameSize]);
