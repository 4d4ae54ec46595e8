// Resource identifiers of the update tool: dialog templates, controls, strings, accelerator, icon.
// Shared by the .rc scripts and the C++ code; the numbers are fixed, never renumber them.
#ifndef BRG40FUP_RESOURCE_H
#define BRG40FUP_RESOURCE_H

// About box (template 100)
#define IDD_ABOUTBOX 100
#define IDM_ABOUTBOX 0x0010

// Main dialog (template 102)
#define IDD_BRG40MFUP_DIALOG 102
#define IDC_WRITE_BUTTON 1000
#define IDC_PROGRESS 1001
#define IDC_MODE_BUTTON 1002
#define IDC_FILE_PATH 1003
#define IDC_REFERENCE_BUTTON 1004
#define IDC_CURRENT_VERSION 1005
#define IDC_NEW_VERSION 1006
#define IDC_CONVERSION_CHECK 1007

// Labels without an ID in both templates
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// String table: system-menu item, message captions and texts
#define IDS_ABOUTBOX 101
#define IDS_CAPTION_GET_VERSION 102
#define IDS_CAPTION_FILE_OPEN 103
#define IDS_CAPTION_FILE_TYPE 104
#define IDS_CAPTION_VERSION_CHECK 105
#define IDS_CAPTION_CHECKSUM 106
#define IDS_CAPTION_ERASE 107
#define IDS_CAPTION_WRITE 108
#define IDS_CAPTION_COMPARE 109
#define IDS_CAPTION_UPDATED 110
#define IDS_MSG_GET_VERSION_FAILED 111
#define IDS_MSG_FILE_OPEN_FAILED 112
#define IDS_MSG_FILE_TYPE_WRONG 113
#define IDS_MSG_VERSION_NOT_NEWER 114
#define IDS_MSG_CHECKSUM_MISMATCH 115
#define IDS_MSG_ERASE_FAILED 116
#define IDS_MSG_WRITE_FAILED 117
#define IDS_MSG_COMPARE_FAILED 118
#define IDS_MSG_UPDATED 119
#define IDS_CAPTION_CLOSE 120
#define IDS_MSG_NOT_UPDATED 121
#define IDS_CAPTION_REWRITE 122
#define IDS_MSG_COMPARE_OK 123
#define IDS_CAPTION_READ 124
#define IDS_MSG_READ_FAILED 125

// Icon of the program (main window, About box, minimised window)
#define IDR_MAINFRAME 128

// Accelerator table and its command (Ctrl+Shift+Alt+F10 reveals the conversion check box)
#define IDR_ACCELERATOR 131
#define ID_SHOW_CONVERSION 32771

#endif
