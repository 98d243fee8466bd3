// Resource identifiers; the numbers are part of the tool's interface and never change.
#pragma once

#define IDR_MAINFRAME 5
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_OSTREL_DIALOG 102

#define IDC_DOWNLOAD 1000
#define IDC_DOWNLOAD_FRAME 1001
#define IDC_STATUS 1002
#define IDC_PROGRESS 1003
#define IDC_IMAGE_INFO 1004
#define IDC_RESULT 1005
#define IDC_WEB 1006
#define IDC_AUX 1007

#define IDM_ABOUTBOX 0x0010

// A control with no identifier of its own; in an extended template it is stored with all 32 bits set.
#define IDC_STATIC (-1)
