#pragma once
// A scratch copy of the delivered database for the database benchmarks, in a
// folder of its own under the temporary folder, removed at the end.

#include <cstdio>
#include <filesystem>
#include <string>

#include "shared/db/AdoDatabase.h"
#include "shared/db/ConnectionString.h"
#include "shared/win/AppPaths.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tidewell::bench {

// The folder of the running benchmark, where the build puts bhodb.mdb.
inline std::filesystem::path ProgramFolder() {
#ifdef _WIN32
  wchar_t buffer[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  return std::filesystem::path(std::wstring(buffer, length)).parent_path();
#else
  return std::filesystem::read_symlink("/proc/self/exe").parent_path();
#endif
}

class ScratchDatabase {
 public:
  explicit ScratchDatabase(const std::string& name)
      : folder_(std::filesystem::temp_directory_path() / name), file_(folder_ / kDatabaseFileName) {
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    Fresh();
  }
  ~ScratchDatabase() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  ScratchDatabase(const ScratchDatabase&) = delete;
  ScratchDatabase& operator=(const ScratchDatabase&) = delete;

  // Puts a new copy of the delivered file in place of the scratch one.
  void Fresh() const {
    std::filesystem::remove(file_);
    std::filesystem::copy_file(ProgramFolder() / kDatabaseFileName, file_);
  }
  std::string File() const { return file_.string(); }
  // Opens the scratch file; false (with the layer's error on stderr) when it cannot.
  bool Open(CADODatabase& database) const {
    if (database.Open(BuildConnectionString(File()))) return true;
    std::fprintf(stderr, "%s", database.GetLastErrorString().c_str());
    return false;
  }

 private:
  std::filesystem::path folder_;
  std::filesystem::path file_;
};

}  // namespace tidewell::bench
