#include "tidewell/startup/RunKeyWatch.h"

#include <algorithm>

#include "shared/win/Utf8.h"
#include "shared/win/Handles.h"
#include "shared/win/Registry.h"
#include "tidewell/removal/RemovalService.h"
#include "tidewell/startup/StartupText.h"

namespace tidewell {

namespace {

HKEY RootOf(int root) { return root == kStartupRootUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

std::string RunKeyPathWithoutSeparator() {
  std::string path = kRunKeyPath;
  path.pop_back();
  return path;
}

bool SameEntry(const StartupEntry& a, const StartupEntry& b) {
  return a.root == b.root && a.view == b.view && UpperCaseName(a.name) == UpperCaseName(b.name);
}

// The keys ListStartupEntries reads; a key that cannot be opened is left out.
std::vector<UniqueKey> OpenRunKeys() {
  std::vector<UniqueKey> keys;
  if (UniqueKey key = OpenKey(HKEY_CURRENT_USER, kRunKeyPath, KEY_NOTIFY)) keys.push_back(std::move(key));
  for (RegistryView view : RegistryViews())
    if (UniqueKey key = OpenKey(HKEY_LOCAL_MACHINE, kRunKeyPath, KEY_NOTIFY, view)) keys.push_back(std::move(key));
  return keys;
}

bool Arm(const std::vector<UniqueKey>& keys, HANDLE changed) {
  ResetEvent(changed);
  for (const UniqueKey& key : keys)
    if (RegNotifyChangeKeyValue(key.Get(), FALSE, REG_NOTIFY_CHANGE_LAST_SET, changed, TRUE) != ERROR_SUCCESS)
      return false;
  return true;
}

}  // namespace

std::vector<StartupEntry> AddedStartupEntries(const std::vector<StartupEntry>& before,
                                              const std::vector<StartupEntry>& now) {
  std::vector<StartupEntry> added;
  for (const StartupEntry& entry : now)
    if (std::none_of(before.begin(), before.end(), [&](const StartupEntry& old) { return SameEntry(old, entry); }))
      added.push_back(entry);
  return added;
}

bool RestoredByTidewell(const StartupEntry& entry) {
  return RestoredLately(RegistryLocation{RootOf(entry.root), RunKeyPathWithoutSeparator(), entry.view}, entry.name);
}

bool WatchRunKeys(const std::function<void(const std::string& text)>& announce, const StopToken& stop, DWORD batchMs,
                  const std::function<void()>& ready) {
  std::vector<UniqueKey> keys = OpenRunKeys();
  UniqueHandle changed(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (keys.empty() || !changed || !Arm(keys, changed.Get())) return false;
  std::vector<StartupEntry> known = ListStartupEntries();
  if (ready) ready();
  HANDLE waits[] = {changed.Get(), stop.Event()};
  for (;;) {
    DWORD woken = WaitForMultipleObjects(waits[1] ? 2 : 1, waits, FALSE, INFINITE);
    if (woken != WAIT_OBJECT_0) return true;
    // Later additions of the batch land before the keys are read again.
    if (stop.WaitFor(batchMs)) return true;
    // Armed again before reading, so a change during the read wakes the next round.
    if (!Arm(keys, changed.Get())) return false;
    std::vector<StartupEntry> now = ListStartupEntries();
    std::vector<std::string> names;
    for (const StartupEntry& entry : AddedStartupEntries(known, now))
      if (!RestoredByTidewell(entry)) names.push_back(entry.name);
    known = std::move(now);
    if (!names.empty() && announce) announce(NewStartupEntriesText(names));
  }
}

}  // namespace tidewell
