#include "tests/support/TestFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>

#include "shared/db/ConnectionString.h"
#include "shared/win/AppPaths.h"

#ifdef _WIN32
#include <windows.h>

#include "shared/win/Utf8.h"
#else
#include <unistd.h>
#endif

namespace tidewell::test {

namespace fs = std::filesystem;

fs::path ProgramFolder() {
#ifdef _WIN32
  wchar_t buffer[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  return fs::path(std::wstring(buffer, length)).parent_path();
#else
  return fs::read_symlink("/proc/self/exe").parent_path();
#endif
}

#ifdef _WIN32
bool PathExists(const std::string& path) {
  return GetFileAttributesW(WideFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}
#endif

std::string ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
#ifdef _WIN32
  auto process = GetCurrentProcessId();
#else
  auto process = getpid();
#endif
  path_ = fs::temp_directory_path() /
          ("tidewell-test-" + std::to_string(process) + "-" + std::to_string(stamp) + "-" +
           std::to_string(counter++));
  fs::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string TempFolder::Text() const {
#ifdef _WIN32
  return Utf8FromPath(path_) + "\\";
#else
  return path_.string() + "/";
#endif
}

TestAppFolder::TestAppFolder() {
  fs::path delivered = ProgramFolder() / kDatabaseFileName;
  if (!fs::exists(delivered)) ADD_FAILURE() << "the delivered database is missing: " << delivered;
  fs::copy_file(delivered, Path() / kDatabaseFileName);
}

std::string TestAppFolder::ConnectionString() const { return BuildConnectionString(DatabaseFile()); }

}  // namespace tidewell::test
