// The File menu's open and save of the pair list file.
#pragma once

void OpenListCommand();  // 21
void SaveListCommand();  // 22
