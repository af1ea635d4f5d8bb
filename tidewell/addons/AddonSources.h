#pragma once
// The listing's parts, one per kind of place: profiles on disk, the
// registry's policies and registrations, Firefox's policies.json.

#include <optional>
#include <string>
#include <string_view>

#include "tidewell/addons/BrowserAddons.h"
#include "tidewell/addons/BrowserTable.h"

namespace tidewell {

// A browser file read whole; nothing (with a note) when it is over the
// size cap. `missing` tells a file that is not there from one that is.
std::optional<std::string> ReadBrowserFile(const std::string& path, AddonListing& listing, bool* missing = nullptr);

// A folder that is there and is no link.
bool IsFolder(const std::string& path);
// folder + a relative path read from a file, only when each of its parts is
// a plain name; nothing otherwise.
std::optional<std::string> JoinPlain(const std::string& folder, std::string_view relative);
// A drive or share path read from a file, made whole; empty for anything else.
std::string AbsolutePath(const std::string& recorded);

// The folder to open for a recorded file or folder: the folder itself, or
// the one the file lies in; empty when neither is there.
std::string FolderOf(const std::string& recorded);

// A row of the browser with its process and page filled in.
BrowserAddon AddonOf(const BrowserInfo& browser);

void ListChromiumProfiles(const BrowserInfo& browser, const AddonPlaces& places, AddonListing& listing,
                          const StopToken& stop);
void ListFirefoxProfiles(const BrowserInfo& browser, const AddonPlaces& places, AddonListing& listing,
                         const StopToken& stop);
void ListRegistryAddons(const BrowserInfo& browser, const AddonPlaces& places, AddonListing& listing);
void ListFirefoxPolicyFiles(const BrowserInfo& browser, const AddonPlaces& places, AddonListing& listing);

}  // namespace tidewell
