// Skylark's numbered resources. The numbers are fixed: the updater's window
// and its controls are known by them.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDS_SKYLARK_ABOUT 101
#define IDI_SKYLARK 128
#define IDM_SKYLARK_ABOUT 16  // system menu item

// ---- About box (dialog 100)
#define IDD_SKYLARK_ABOUT 100

// ---- Updater window (dialog 102)
#define IDD_SKYLARK 102
#define IDC_SKYLARK_LAST_UPDATE 1005
#define IDC_SKYLARK_PROGRESS 1007
#define IDC_SKYLARK_STATUS 1008
