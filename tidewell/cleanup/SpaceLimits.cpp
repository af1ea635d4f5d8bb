#include "tidewell/cleanup/SpaceLimits.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <limits>
#include <vector>

#include "shared/win/Environment.h"
#include "shared/win/Handles.h"
#include "shared/win/Registry.h"
#include "shared/win/Utf8.h"

namespace tidewell {

namespace {

int64_t ClampMegabytes(int64_t megabytes) { return std::clamp<int64_t>(megabytes, 0, kMaxLimitMegabytes); }

std::optional<int> Position(int64_t numerator, int64_t divisor, bool roundUp, int low, int high) {
  if (divisor < 1) return std::nullopt;
  int64_t position = roundUp ? (numerator + divisor - 1) / divisor : numerator / divisor;
  return static_cast<int>(std::clamp<int64_t>(position, low, high));
}

std::optional<std::string> ReadWholeFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int64_t ParseField(const std::string& text) {
  size_t at = text.find_first_not_of(" \t");
  if (at == std::string::npos) return 0;
  bool negative = false;
  if (text[at] == '-' || text[at] == '+') negative = text[at++] == '-';
  int64_t value = 0;
  for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at)
    value = std::min<int64_t>(value * 10 + (text[at] - '0'), kMaxLimitMegabytes);
  return negative ? -value : value;
}

std::optional<int> CacheSliderAtOpening(int64_t megabytes, int64_t diskMb) {
  if (megabytes == 1) return diskMb < 1 ? std::nullopt : std::optional<int>(0);
  return Position(ClampMegabytes(megabytes) * kCacheSliderMax, diskMb, true, 0, kCacheSliderMax);
}

std::optional<int> CacheSliderForLimit(int64_t megabytes, int64_t diskMb) {
  return Position(ClampMegabytes(megabytes) * kCacheSliderMax, diskMb, false, 0, kCacheSliderMax);
}

std::optional<int> RestoreSliderAtOpening(int64_t megabytes, int64_t diskMb) {
  return Position(ClampMegabytes(megabytes) * 100, diskMb, true, kRestoreSliderMin, kRestoreSliderMax);
}

std::optional<int> OfflineSliderForLimit(int64_t megabytes, int64_t homeMb) {
  return Position(ClampMegabytes(megabytes) * kOfflineSliderMax, homeMb, false, 0, kOfflineSliderMax);
}

int64_t CacheFieldForSlider(int position, int64_t diskMb) {
  return std::max<int64_t>(1, ClampMegabytes(diskMb) * position / kCacheSliderMax);
}

int64_t RestoreFieldForSlider(int position, int64_t diskMb) {
  return std::max<int64_t>(1, ClampMegabytes(diskMb) * position / 100);
}

int64_t OfflineFieldForSlider(int position, int64_t homeMb) {
  return ClampMegabytes(homeMb) * position / kOfflineSliderMax;
}

int64_t OfflineFieldAtOpening(int64_t setting, int64_t homeMb) {
  return (ClampMegabytes(homeMb) * std::clamp<int64_t>(setting, 0, kOfflineSliderMax) + kOfflineSliderMax - 1) /
         kOfflineSliderMax;
}

uint32_t ReadCacheLimitKb() {
  UniqueKey key = OpenKey(HKEY_CURRENT_USER, kCacheContentKey50, KEY_QUERY_VALUE);
  if (!key) return 0;
  return ReadDword(key.Get(), "CacheLimit").value_or(0);
}

uint32_t CacheLimitValueKb(int64_t megabytes) {
  if (megabytes <= 0) return 1024;
  return static_cast<uint32_t>(std::min<int64_t>(megabytes, std::numeric_limits<uint32_t>::max() / 1024) * 1024);
}

bool WriteCacheLimit(int64_t megabytes) {
  DWORD value = CacheLimitValueKb(megabytes);
  UniqueKey first = CreateKey(HKEY_CURRENT_USER, kCacheContentKey50, KEY_SET_VALUE);
  if (!first || !WriteDword(first.Get(), "CacheLimit", value)) return false;
  if (UniqueKey second = OpenKey(HKEY_CURRENT_USER, kCacheContentKey, KEY_SET_VALUE))
    WriteDword(second.Get(), "CacheLimit", value);
  return true;
}

std::optional<int> ReadOfflineSetting() {
  UniqueKey key = OpenKey(HKEY_LOCAL_MACHINE, kNetCacheKey, KEY_QUERY_VALUE);
  if (!key || ReadDword(key.Get(), "Enabled").value_or(0) != 1) return std::nullopt;
  DWORD size = ReadDword(key.Get(), "DefCacheSize").value_or(0);
  return static_cast<int>(std::min<DWORD>(size, kOfflineSliderMax));
}

bool WriteOfflineSetting(int position) {
  UniqueKey key = OpenKey(HKEY_LOCAL_MACHINE, kNetCacheKey, KEY_SET_VALUE);
  if (!key) return false;
  bool written = WriteDword(key.Get(), "Enabled", 1);
  written = WriteDword(key.Get(), "SyncAtLogon", 0) && written;
  written = WriteDword(key.Get(), "SyncAtLogoff", 1) && written;
  written = WriteDword(key.Get(), "NoReminders", 1) && written;
  written = WriteDword(key.Get(), "ReminderFreqMinutes", 60) && written;
  return WriteDword(key.Get(), "DefCacheSize", std::clamp(position, 0, kOfflineSliderMax)) && written;
}

std::optional<std::string> RestoreTableFile() {
  UniqueKey key = OpenKey(HKEY_LOCAL_MACHINE, kRestoreParametersKey, KEY_QUERY_VALUE);
  if (!key) return std::nullopt;
  std::string guid = ReadString(key.Get(), "MachineGuid").value_or("");
  std::string drive = EnvironmentVariable("SystemDrive", 50).value_or("");
  // Both pieces become a path: nothing that could leave the folder.
  if (guid.empty() || guid.size() > 200 || drive.empty() || guid.find_first_of("\\/:.") != std::string::npos)
    return std::nullopt;
  return drive + "\\System Volume Information\\_restore" + guid + "\\drivetable.txt";
}

std::optional<int64_t> ReadRestoreLimit(const std::string& file) {
  auto bytes = ReadWholeFile(file);
  if (!bytes) return std::nullopt;
  return ParseRestoreLimit(*bytes);
}

bool WriteRestoreLimit(const std::string& file, int64_t megabytes) {
  auto bytes = ReadWholeFile(file);
  if (!bytes) return false;
  auto rewritten = RewriteRestoreLimit(*bytes, megabytes);
  if (!rewritten) return false;
  if (*rewritten == *bytes) return true;
  const std::wstring target = WideFromUtf8(file), fresh = target + L".new";
  const DWORD attributes = GetFileAttributesW(target.c_str());
  {
    UniqueHandle out(CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    // On the disk before it takes the old file's place: a crash leaves one whole file.
    bool whole = out && WriteFile(out.Get(), rewritten->data(), static_cast<DWORD>(rewritten->size()), &written, nullptr) &&
                 written == rewritten->size() && FlushFileBuffers(out.Get());
    if (!whole) {
      out.Reset();
      DeleteFileW(fresh.c_str());
      return false;
    }
  }
  // The replaced file's attributes (hidden, system) and security stay.
  if (!ReplaceFileW(target.c_str(), fresh.c_str(), nullptr, REPLACEFILE_WRITE_THROUGH, nullptr, nullptr)) {
    DeleteFileW(fresh.c_str());
    return false;
  }
  if (attributes != INVALID_FILE_ATTRIBUTES && GetFileAttributesW(target.c_str()) != attributes)
    SetFileAttributesW(target.c_str(), attributes);  // a system that replaces without them
  return true;
}

}  // namespace tidewell
