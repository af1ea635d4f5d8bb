#pragma once
// The "Browser add-ons" section of the machine report, one line per row.

#include <string>
#include <vector>

#include "tidewell/addons/BrowserAddons.h"
#include "tidewell/report/ReportText.h"

namespace tidewell {

inline constexpr const char* kAddonReportTitle = "Browser add-ons";

// Sorted lines of the rows and, after them, the listing's notes. The
// report hides private names in the whole text afterwards.
std::vector<ReportLine> AddonReportLines(const AddonListing& listing);

// Where the row was read, as the report and a tip show it.
std::string AddonSourceText(const BrowserAddon& addon);

}  // namespace tidewell
