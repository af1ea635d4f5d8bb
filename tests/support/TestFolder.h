#pragma once
// Scratch folders for tests, and the delivered database copied into them.

#include <filesystem>
#include <string>

namespace tidewell::test {

// The folder holding the running test program (and so the built programs and
// the delivered bhodb.mdb), with a trailing separator.
std::filesystem::path ProgramFolder();

// A fresh empty folder, removed with everything in it on destruction.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The path as the programs spell it, with a trailing separator.
  std::string Text() const;
  std::string File(const std::string& name) const { return (path_ / name).string(); }

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
