// The Edit menu: add one JPEG with its BMP name dialog, delete and edit the
// selected entry, and add every JPEG of a folder.
#pragma once

void AddEntryCommand();     // 31
void DeleteEntryCommand();  // 32
void EditEntryCommand();    // 33
void AddFolderCommand();    // 34
