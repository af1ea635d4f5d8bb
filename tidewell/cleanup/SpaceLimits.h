#pragma once
// The three space limits Windows keeps elsewhere: the Internet Explorer
// cache, System Restore's share of the disk and the offline-files cache.
// Arithmetic is 64-bit and every stored value is clamped to its range, so a
// large disk or a negative field never stores a wrapped number.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "tidewell/cleanup/RestoreTable.h"

namespace tidewell {

inline constexpr const char* kCacheContentKey50 =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\5.0\\Cache\\Content";
inline constexpr const char* kCacheContentKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Cache\\Content";
inline constexpr const char* kNetCacheKey = "Software\\Microsoft\\Windows\\CurrentVersion\\NetCache";
inline constexpr const char* kRestoreParametersKey = "SYSTEM\\CurrentControlSet\\Services\\sr\\Parameters";

inline constexpr int kCacheSliderMax = 20;      // twentieths of the disk
inline constexpr int kRestoreSliderMin = 1;     // percent of the disk
inline constexpr int kRestoreSliderMax = 12;
inline constexpr int kOfflineSliderMax = 10000; // hundredths of a percent of the home drive

// A field's text as a number: leading blanks and a sign allowed, anything
// that is not a number gives 0.
int64_t ParseField(const std::string& text);

// Slider positions, clamped to the slider's range. A reference below 1 MB
// cannot divide: the result is then empty and the slider stays as it is.
std::optional<int> CacheSliderAtOpening(int64_t megabytes, int64_t diskMb);   // rounded up; 1 MB gives 0
std::optional<int> CacheSliderForLimit(int64_t megabytes, int64_t diskMb);    // rounded down
std::optional<int> RestoreSliderAtOpening(int64_t megabytes, int64_t diskMb); // rounded up
std::optional<int> OfflineSliderForLimit(int64_t megabytes, int64_t homeMb);  // rounded down
// Field texts for slider positions.
int64_t CacheFieldForSlider(int position, int64_t diskMb);    // at least 1
int64_t RestoreFieldForSlider(int position, int64_t diskMb);  // at least 1
int64_t OfflineFieldForSlider(int position, int64_t homeMb);
int64_t OfflineFieldAtOpening(int64_t setting, int64_t homeMb);  // rounded up

// "CacheLimit" in kilobytes; 0 when missing.
uint32_t ReadCacheLimitKb();
// Stores m MB (1,024 KB for 0) under both cache keys; the value is clamped
// to what a double word holds.
uint32_t CacheLimitValueKb(int64_t megabytes);
bool WriteCacheLimit(int64_t megabytes);

// The offline cache's "DefCacheSize" when offline files are enabled.
std::optional<int> ReadOfflineSetting();
// Writes the offline settings with "DefCacheSize" = position; nothing when
// the key does not open.
bool WriteOfflineSetting(int position);

// <SystemDrive>\System Volume Information\_restore<MachineGuid>\drivetable.txt,
// or empty when System Restore's parameters are missing.
std::optional<std::string> RestoreTableFile();
std::optional<int64_t> ReadRestoreLimit(const std::string& file);
// Writes a new file beside the old one, flushed, and puts it in the old
// one's place keeping its attributes and security (ReplaceFile).
bool WriteRestoreLimit(const std::string& file, int64_t megabytes);

}  // namespace tidewell
