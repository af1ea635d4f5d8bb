#pragma once
// The main window's tabs, in their order: the one place a tab is registered.

#include <memory>
#include <vector>

#include "tidewell/shell/MainWindow.h"
#include "tidewell/shell/Page.h"

namespace tidewell {

std::vector<std::unique_ptr<IPage>> MakeTabPages(IMainWindow& main);

}  // namespace tidewell
