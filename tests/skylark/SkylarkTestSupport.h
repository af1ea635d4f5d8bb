#pragma once
// What the window's and the program's tests share: the profile values Skylark
// reads, kept and put back, and answers of the update server.

#include <string>
#include <vector>

namespace tidewell::test {

// Remembers AppPath, UpdateRecord and UpdateHost, and restores them (or their
// absence) when it goes.
class SkylarkProfile {
 public:
  SkylarkProfile();
  ~SkylarkProfile();
  SkylarkProfile(const SkylarkProfile&) = delete;
  SkylarkProfile& operator=(const SkylarkProfile&) = delete;

  void Set(const std::string& appPath, const std::string& updateRecord, const std::string& updateHost);

 private:
  struct Saved {
    std::string key;
    bool present;
    std::string value;
  };
  std::vector<Saved> saved_;
};

std::string ReadFileBytes(const std::string& path);
// A whole 200 answer whose body is a dump of the plaintext records and the date.
std::string DumpAnswer(const std::vector<std::string>& records, const std::string& date);

}  // namespace tidewell::test
