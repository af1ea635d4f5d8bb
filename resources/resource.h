// Numbered resources of Tidewell and Skylark.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Strings
#define IDS_ABOUTBOX 101

// Main window (dialog 102)
#define IDD_MAIN_DIALOG 102
#define IDC_MAIN_DATABASE_PATH 1000
