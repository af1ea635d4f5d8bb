// Removing 100 planted file detections through one removal action and
// restoring the action, against the floor of moving the same files out and
// back with MoveFileEx. Exits non-zero when a restored file differs from its
// original.

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/BenchDatabase.h"
#include "bench/BenchReport.h"
#include "shared/win/FileSystem.h"
#include "shared/win/Utf8.h"
#include "tidewell/removal/RemovalService.h"

using namespace tidewell;

namespace {

constexpr int kFiles = 100;
constexpr int kRounds = 9;  // the fastest counts: other work on the machine only adds

std::string FileBytes(int i) {
  return "MZ planted detection " + std::to_string(i) + std::string(4096 + i, static_cast<char>('a' + i % 26));
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool whole =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
  CloseHandle(file);
  return whole;
}

std::string ReadBytes(const std::string& path) {
  HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes(1 << 16, '\0');
  DWORD read = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

void Plant(const std::vector<std::string>& files) {
  for (int i = 0; i < kFiles; ++i) WriteBytes(files[i], FileBytes(i));
}

int Differing(const std::vector<std::string>& files) {
  int differing = 0;
  for (int i = 0; i < kFiles; ++i) differing += ReadBytes(files[i]) != FileBytes(i);
  return differing;
}

double Fastest(const std::vector<double>& times) { return *std::min_element(times.begin(), times.end()); }

}  // namespace

int main() {
  bench::ScratchDatabase scratch("tidewell-bench-removal");
  CADODatabase database;
  if (!scratch.Open(database)) return 1;
  std::string appFolder = Utf8FromPath(std::filesystem::path(scratch.File()).parent_path());
  std::string targets = Utf8FromPath(std::filesystem::temp_directory_path() / "tidewell-bench-removal-targets");
  std::string parked = targets + "-parked";
  CreateDirectoryW(LongPath(targets).c_str(), nullptr);
  CreateDirectoryW(LongPath(parked).c_str(), nullptr);
  std::vector<std::string> files, aside;
  for (int i = 0; i < kFiles; ++i) {
    files.push_back(targets + "\\detection" + std::to_string(i) + ".dll");
    aside.push_back(parked + "\\" + std::to_string(i));
  }

  std::vector<double> floorTimes, serviceTimes;
  int gone = 0, restored = 0;
  for (int round = 0; round < kRounds; ++round) {
    Plant(files);
    floorTimes.push_back(bench::MeasureSeconds([&] {
      for (int i = 0; i < kFiles; ++i) MoveFileExW(LongPath(files[i]).c_str(), LongPath(aside[i]).c_str(), 0);
      for (int i = 0; i < kFiles; ++i) MoveFileExW(LongPath(aside[i]).c_str(), LongPath(files[i]).c_str(), 0);
    }));
    bench::SameCount("files back after the plain moves", kFiles - Differing(files), kFiles);

    std::string manifest;
    serviceTimes.push_back(bench::MeasureSeconds([&] {
      RemovalAction action(database, RemovalGuards{appFolder, {}}, "Bench removal");
      for (const std::string& file : files) gone += action.Remove(Piece::File(file)).gone;
      action.Commit();
      manifest = action.Folder() + "\\" + kActionManifestName;
      restored += RestoreAction(manifest).restored;
    }));
    bench::SameCount("files back after the action's restore (round " + std::to_string(round) + ")",
                     kFiles - Differing(files), kFiles);
    FreeAction(manifest);
  }
  bench::SameCount("detections removed", gone, kFiles * kRounds);
  bench::SameCount("detections restored", restored, kFiles * kRounds);

  double floor = Fastest(floorTimes), service = Fastest(serviceTimes);
  bench::Report("removal: 100 files, MoveFileEx out and back", floor * 1000, "ms", floor * 1000);
  bench::Report("removal: 100 files, action and restore", service * 1000, "ms", floor * 1000);

  for (const std::string& file : files) DeleteFileW(LongPath(file).c_str());
  RemoveDirectoryW(LongPath(targets).c_str());
  RemoveDirectoryW(LongPath(parked).c_str());
  return bench::ExitStatus();
}
