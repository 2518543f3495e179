// Resource and command ids of vellum.exe: the one place both the resource script
// and the code take them from. Plain macros, no window-system header, so the
// platform-free command logic can include it too.
#pragma once

// Strings.
#define IDS_APP_TITLE 103        // window title "Vellum"
#define IDS_WINDOW_CLASS 109     // window class name "DATAGRIDTEST"

// Menu and accelerator table share one id.
#define IDR_MAIN_MENU 109
#define IDR_ACCELERATORS 109

// The About box and its controls.
#define IDD_ABOUTBOX 103
#define IDC_ABOUT_ICON 1001
#define IDC_ABOUT_LINE1 1002
#define IDC_ABOUT_LINE2 1003
#define IDC_ABOUT_LINE3 1004
#define IDC_ABOUT_OK 1               // the " WELCOME" button

// Icons.
#define IDI_VELLUM 107           // large class icon, also in the About box
#define IDI_SMALL 108            // small class icon

// Menu and accelerator commands.
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDM_SELECT_ALL 111
#define IDM_DESELECT_ALL 112
#define IDM_OPEN_ARCHIVE 113
#define IDM_ARCHIVE_INFO 115
#define IDM_EXTRACT_HERE 116
#define IDM_COMPRESS_FILE 117
#define IDM_COMPRESS_FOLDER 118
#define IDM_STRONG 119           // Options > Strong compression (checked while on)
#define IDM_FIRST 104            // ids from IDM_FIRST to IDM_LAST select a menu command
#define IDM_LAST 119

// Keys of the main window without a menu item (accelerator table 109; Ctrl+A
// sends IDM_SELECT_ALL).
#define IDK_OPEN_FOCUSED 130     // Enter: open the focused folder row or .vlm row
#define IDK_PARENT_FOLDER 131    // Backspace: the parent folder
#define IDK_DELETE 132           // Delete: the Delete button, in the archive view
#define IDK_LIST_AGAIN 133       // F5: list the folder or the archive again
#define IDK_FIRST 130
#define IDK_LAST 133

// Controls of the main window.
#define IDC_TOOLBAR_BUTTON 1     // all eight toolbar buttons; told apart by their handles
#define IDC_FILLER_BUTTON 0
