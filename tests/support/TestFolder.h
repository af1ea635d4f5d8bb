#pragma once
// Scratch folders for tests, and the delivered database copied into them.

#include <filesystem>
#include <string>

namespace tidewell::test {

// The folder holding the running test program (and so the built programs and
// the delivered bhodb.mdb), with a trailing separator.
std::filesystem::path ProgramFolder();

#ifdef _WIN32
// Whether a file or folder (UTF-8 path) is there, through the wide functions.
bool PathExists(const std::string& path);
#endif
// A file's bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);
// The last part of a Windows path.
inline std::string FileName(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

// A fresh empty folder, removed with everything in it on destruction.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The path as the programs spell it (UTF-8), with a trailing separator.
  std::string Text() const;
  // A name (UTF-8) in the folder, as the programs spell it.
  std::string File(const std::string& name) const { return Text() + name; }

 private:
  std::filesystem::path path_;
};

// An application folder with its own copy of the delivered database.
class TestAppFolder : public TempFolder {
 public:
  TestAppFolder();
  std::string DatabaseFile() const { return File("bhodb.mdb"); }
  std::string ConnectionString() const;
};

}  // namespace tidewell::test
