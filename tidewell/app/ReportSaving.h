#pragma once
// The tray's "Save report...": asks where, writes the report on a worker and
// offers to open it.

#include <string>

#include "tidewell/shell/MainWindow.h"

namespace tidewell {

// databasePath: the delivered database beside the program; the worker opens
// a connection of its own to it.
void SaveReportAs(IMainWindow& window, const std::string& databasePath);

// What follows the user's choice of file: the report written on a worker,
// then the outcome told (and the file offered for opening) on the UI thread.
void WriteReportInBackground(IMainWindow& window, const std::string& databasePath, const std::string& file);

}  // namespace tidewell
