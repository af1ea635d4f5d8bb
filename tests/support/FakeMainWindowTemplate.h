#pragma once
// The fake main window's dialog template, clear of every program's own.
#define IDD_FAKE_MAIN_WINDOW 9000
