#include "tidewell/bho/BhoKeyWatcher.h"

#include "shared/win/Handles.h"
#include "shared/win/Prompt.h"
#include "shared/win/Registry.h"
#include "tidewell/shell/Messages.h"
#include "tidewell/bho/BhoCatalog.h"
#include "tidewell/removal/RemovalService.h"
#include "tidewell/bho/BhoListing.h"
#include "tidewell/bho/BhoText.h"

namespace tidewell {

namespace {

// The watcher runs on a worker: its messages are shown by the main window.
DWORD Fail(const KeyWatchTarget& target, const char* text) {
  PostPrompt(target.mainWindow, text, "Tidewell", MB_OK);
  return 1;
}

int64_t FileTimeValue(const FILETIME& time) {
  return static_cast<int64_t>((uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

}  // namespace

DWORD WatchBhoKey(const KeyWatchTarget& target, const StopToken& stop) {
  // One BHO key per registry view; a change in either sets the one event.
  // A view without the key (no 32-bit browser installed) is not watched.
  std::vector<UniqueKey> keys;
  for (RegistryView view : RegistryViews())
    if (UniqueKey key = OpenBhoRegistrationKey(KEY_NOTIFY, view)) keys.push_back(std::move(key));
  if (keys.empty()) return Fail(target, "Cannot open registry key");
  UniqueHandle changed(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!changed) return Fail(target, "Error in CreateEvent.\n");
  const DWORD filter =
      REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_ATTRIBUTES | REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_SECURITY;
  for (const UniqueKey& key : keys)
    if (RegNotifyChangeKeyValue(key.Get(), TRUE, filter, changed.Get(), TRUE) != ERROR_SUCCESS)
      return Fail(target, "Error in RegNotifyChangeKeyValue.\n");
  HANDLE waits[] = {changed.Get(), stop.Event()};
  DWORD woken = WaitForMultipleObjects(waits[1] ? 2 : 1, waits, FALSE, INFINITE);
  if (woken == WAIT_FAILED) return Fail(target, "Error in WaitForSingleObject.\n");
  if (woken == WAIT_OBJECT_0 + 1 || stop.WaitFor(1000)) return 2;
  PostMessageA(target.mainWindow, WM_REFRESH_BHOS, 0, 0);
  CheckForNewBho(target);
  // Released by hand: a failed close is reported and stops the chain.
  for (UniqueKey& key : keys)
    if (RegCloseKey(key.Release()) != ERROR_SUCCESS) return Fail(target, "Error in RegCloseKey.\n");
  if (!CloseHandle(changed.Release())) return Fail(target, "Error in CloseHandle.\n");
  PostMessageA(target.mainWindow, WM_START_KEY_WATCH, 0, 0);
  return 0;
}

std::optional<std::vector<std::string>> FindJustWrittenBhoKeys() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  std::optional<std::vector<std::string>> found;
  for (RegistryView view : RegistryViews()) {
    UniqueKey key = OpenBhoRegistrationKey(KEY_ENUMERATE_SUB_KEYS, view);
    if (!key) continue;
    if (!found) found.emplace();
    for (DWORD index = 0; index < kMaxBhoSubkeys; ++index) {
      char name[200] = {};
      DWORD length = sizeof name;
      LONG result = RegEnumKeyExA(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (result == ERROR_NO_MORE_ITEMS) break;
      if (result != ERROR_SUCCESS || name[0] == '\0') continue;
      UniqueKey subkey = OpenKey(key.Get(), name, KEY_QUERY_VALUE);
      FILETIME written{};
      if (!subkey || RegQueryInfoKeyA(subkey.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                      nullptr, nullptr, nullptr, &written) != ERROR_SUCCESS)
        continue;
      // Tidewell's own restore of an uninstalled BHO is no new registration.
      if (IsJustWritten(FileTimeValue(now) - FileTimeValue(written)) &&
          !RestoredLately(RegistryLocation{HKEY_LOCAL_MACHINE, std::string(kBhoKeyPath) + "\\" + name, view}))
        found->emplace_back(name);
    }
  }
  return found;
}

void CheckForNewBho(const KeyWatchTarget& target) {
  std::optional<std::vector<std::string>> fresh = FindJustWrittenBhoKeys();
  if (!fresh) {
    PostPrompt(target.mainWindow, "Unable to open registry key", "Tidewell", MB_OK);
    return;
  }
  for (const std::string& clsid : *fresh) {
    std::string name = target.database ? BhoName(*target.database, clsid) : "Unknown BHO";
    if (target.announce) target.announce(clsid, name);
  }
}

}  // namespace tidewell
