// Resource ids of the workbench tolvane, shared by its code and workbench.rc.
#pragma once

// Icons
#define IDI_WORKBENCH 101

// Bitmaps
#define IDB_VERSION 102

// Menus
#define IDR_MAIN_MENU 201

// Dialog templates
#define IDD_VERSION 1
#define IDD_JPEG_SETTINGS 2
#define IDD_BMP_NAME 3
#define IDD_ENTRY_EDIT 4
#define IDD_FOLDER_NAME 5
#define IDD_HELP 6

// Controls of the dialog templates
#define IDC_OK 11
#define IDC_FIRST_FIELD 81
#define IDC_SECOND_FIELD 82
#define IDC_PROGRESSIVE_ON 91
#define IDC_PROGRESSIVE_OFF 92
#define IDC_HELP_TEXT 83

// Strings: the help text, one section a string from the first on
#define IDS_HELP_FIRST 1000

// Commands of the main menu
#define IDM_OPEN_LIST 21
#define IDM_SAVE_LIST 22
#define IDM_EXIT 23
#define IDM_ADD_ENTRY 31
#define IDM_DELETE_ENTRY 32
#define IDM_EDIT_ENTRY 33
#define IDM_ADD_FOLDER 34
#define IDM_JPG_TO_BMP 41
#define IDM_BMP_TO_JPG 42
#define IDM_FOLDER_JPG_TO_BMP 43
#define IDM_FOLDER_BMP_TO_JPG 44
#define IDM_JPEG_SETTINGS 45
#define IDM_JPG_TO_JPG 46
#define IDM_FOLDER_JPG_TO_JPG 47
#define IDM_OUTPUT_FOLDER 48
#define IDM_HELP 51
#define IDM_VERSION 52

#ifndef RC_INVOKED
// The window class both the program and its tests look the main window up by.
constexpr char kMainWindowClass[] = "Main Window";
constexpr char kMainWindowCaption[] = "Tolvane Ver1.02";
#endif
