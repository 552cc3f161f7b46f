// The settings kept while the program runs (JPEG options, the re-encode
// folder's name), their dialogs, the version dialog and the help.
#pragma once

void JpegSettingsCommand();  // 45
void FolderNameCommand();    // 48
void HelpCommand();          // 51
void VersionCommand();       // 52
