#include "tidewell/addons/AddonReport.h"

namespace tidewell {

std::string AddonSourceText(const BrowserAddon& addon) {
  switch (addon.source) {
    case AddonSource::ProfileRecord: return addon.profileFolder;
    case AddonSource::FirefoxProfileAddon: return addon.addonFile.empty() ? addon.profileFolder : addon.addonFile;
    case AddonSource::PoliciesFile: return addon.addonFile + " (" + addon.valueName + ")";
    case AddonSource::OutsideKey:
      return addon.valueName.empty() ? addon.key.DisplayName() : addon.key.DisplayName() + " : " + addon.valueName;
    case AddonSource::ForcelistValue:
    case AddonSource::SettingsEntry:
    case AddonSource::FirefoxInstallValue: return addon.key.DisplayName() + " : " + addon.valueName;
  }
  return {};
}

std::vector<ReportLine> AddonReportLines(const AddonListing& listing) {
  std::vector<ReportLine> lines;
  for (const BrowserAddon& addon : listing.addons) {
    std::string place = addon.profile.empty() ? addon.browser : addon.browser + " / " + addon.profile;
    std::vector<std::string> fields{place,
                                    addon.name,
                                    addon.id,
                                    addon.version,
                                    AddonStateText(addon.state),
                                    AddonOriginText(addon.origin),
                                    AddonSourceText(addon)};
    lines.push_back({place, addon.name, ReportFields(fields)});
  }
  SortReportLines(lines);
  for (const std::string& note : listing.notes) lines.push_back({"", note, "Note: " + note});
  return lines;
}

}  // namespace tidewell
