// The Clutter-Meter over 100,000 files in 100 folders (a count may be given):
// the measurement beside a bare FindFirstFile walk; the cleanup beside a
// DeleteFile-only walk and beside the literal algorithm, which asks after
// every delete whether the file is still there; and what the gauge adds to a
// main-window command, measured on a worker, beside a stubbed gauge.
// Each figure is the best of three rounds on the same planting, the rivals
// taking turns at going first, so neither order nor a warm cache favours one.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchReport.h"
#include "shared/win/Handles.h"
#include "tidewell/app/ClutterGauge.h"
#include "tidewell/cleanup/ClutterMeasure.h"
#include "tidewell/cleanup/ClutterMonitor.h"
#include "tidewell/cleanup/TempCleaner.h"

using namespace tidewell;
namespace fs = std::filesystem;

namespace {

constexpr int kFolders = 100;

void Plant(const fs::path& root, int files) {
  for (int folder = 0; folder < kFolders; ++folder) {
    fs::path dir = root / ("f" + std::to_string(folder));
    CreateDirectoryA(dir.string().c_str(), nullptr);
    for (int i = folder; i < files; i += kFolders) {
      std::string path = (dir / ("t" + std::to_string(i) + ".tmp")).string();
      UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
      DWORD written = 0;
      WriteFile(file.Get(), "clutter", 7, &written, nullptr);
    }
  }
}

template <class Visit>
void Walk(const std::string& folder, const Visit& visit) {
  WIN32_FIND_DATAA entry{};
  UniqueFindHandle find(FindFirstFileA((folder + "\\*.*").c_str(), &entry));
  if (!find) return;
  do {
    std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      Walk(folder + "\\" + name, visit);
    else
      visit(folder + "\\" + name, entry);
  } while (FindNextFileA(find.Get(), &entry));
}

// Files still below the folder: every cleanup must leave none.
int Remaining(const std::string& folder) {
  int left = 0;
  Walk(folder, [&](const std::string&, const WIN32_FIND_DATAA&) { ++left; });
  return left;
}

// The literal algorithm's look-up after a delete, as its file finder makes it:
// a search opened on the path itself, read, and closed.
bool StillThere(const std::string& path) {
  WIN32_FIND_DATAA still{};
  UniqueFindHandle find(FindFirstFileA(path.c_str(), &still));
  return static_cast<bool>(find);
}

constexpr int kRounds = 3;

ClutterSources OneFolder(const std::string& folder) {
  ClutterSources sources;
  sources.categoryFolders = [folder] { return std::vector<std::string>{folder}; };
  sources.fixedDrives = [] { return std::vector<FixedDrive>(); };
  sources.driveSpace = [](const std::string&) { return std::optional<DriveSpace>(); };
  sources.recycleBin = [](const std::string&) { return std::optional<RecycleBin>(); };
  sources.homeDrive = [] { return std::string(); };
  return sources;
}

}  // namespace

int main(int argc, char** argv) {
  const int files = argc > 1 ? std::atoi(argv[1]) : 100000;
  fs::path root = fs::temp_directory_path() / ("tidewell-bench-clutter-" + std::to_string(GetCurrentProcessId()));
  fs::create_directories(root);
  const std::string folder = root.string();
  const uint64_t plantedBytes = 7ull * files;
  std::printf("%d files in %d folders, best of %d rounds\n", files, kFolders, kRounds);
  Plant(root, files);

  double bare = 1e9, measure = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      if ((turn + round) % 2 == 0) {
        uint64_t bytes = 0;
        bare = std::min(bare, bench::MeasureSeconds([&] {
          Walk(folder, [&](const std::string&, const WIN32_FIND_DATAA& entry) { bytes += entry.nFileSizeLow; });
        }));
        bench::SameCount("bare walk's bytes", static_cast<long long>(bytes), static_cast<long long>(plantedBytes));
      } else {
        uint64_t measured = 0;
        measure = std::min(measure, bench::MeasureSeconds([&] { measured = MeasureClutter(OneFolder(folder)).clutterBytes; }));
        bench::SameCount("measured clutter bytes", static_cast<long long>(measured), static_cast<long long>(plantedBytes));
      }
    }
  }
  bench::Report("bare FindFirstFile walk", bare, "s", bare);
  bench::Report("clutter measurement", measure, "s", bare);

  // What a command pays for the gauge: the refresh on the UI thread only
  // hands the walk to a worker. Averaged over 50 commands while walks run.
  {
    ClutterMonitor monitor(OneFolder(folder));
    ClutterGaugeRefresher gauge(monitor);
    WorkerGroup workers;
    HWND window = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    constexpr int kCommands = 50;
    double stubbed = bench::MeasureSeconds([&] {
      for (int i = 0; i < kCommands; ++i) SendMessageA(window, WM_NULL, 0, 0);
    }) / kCommands;
    double refreshed = bench::MeasureSeconds([&] {
      for (int i = 0; i < kCommands; ++i) {
        gauge.Request(workers, window, [](const ClutterReading&) {});
        SendMessageA(window, WM_NULL, 0, 0);
      }
    }) / kCommands;
    bench::Report("command with the gauge stubbed", stubbed * 1000, "ms", stubbed * 1000);
    bench::Report("command with the gauge refreshed", refreshed * 1000, "ms", stubbed * 1000);
    double synchronous = bench::MeasureSeconds([&] { MeasureClutter(OneFolder(folder)); });
    bench::Report("command measuring on the UI thread (before)", synchronous * 1000, "ms", stubbed * 1000);
    workers.StopAndWait(60000);
    DestroyWindow(window);
  }

  // The three cleanups, each on a fresh planting of the same files.
  enum { kDeleteOnly, kLiteral, kAsBuilt, kWays };
  const char* names[kWays] = {"DeleteFile-only walk", "literal (look-up after every delete)", "as built"};
  double best[kWays] = {1e9, 1e9, 1e9};
  for (int round = 0; round < kRounds; ++round) {
    for (int turn = 0; turn < kWays; ++turn) {
      const int way = (turn + round) % kWays;
      if (round + turn > 0) Plant(root, files);
      long long deleted = 0;
      double seconds = bench::MeasureSeconds([&] {
        if (way == kAsBuilt) {
          deleted = static_cast<long long>(CleanFolder(folder).deletedFiles);
          return;
        }
        Walk(folder, [&](const std::string& path, const WIN32_FIND_DATAA&) {
          bool gone = DeleteFileA(path.c_str()) != 0;
          if (way == kLiteral) gone = !StillThere(path);
          deleted += gone;
        });
      });
      best[way] = std::min(best[way], seconds);
      bench::SameCount(std::string("files deleted, ") + names[way], deleted, files);
      bench::SameCount(std::string("files left, ") + names[way], Remaining(folder), 0);
    }
  }
  bench::Report("DeleteFile-only walk", best[kDeleteOnly], "s", best[kDeleteOnly]);
  bench::Report("cleanup, literal (check after every delete)", best[kLiteral], "s", best[kDeleteOnly]);
  bench::Report("cleanup", best[kAsBuilt], "s", best[kDeleteOnly]);

  fs::remove_all(root);
  return bench::ExitStatus();
}
