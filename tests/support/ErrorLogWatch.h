#pragma once
// The error log in the test program's own folder (the application folder the
// code under test writes to), put back as it was when the watch ends.

#include <string>

namespace tidewell::test {

class ErrorLogWatch {
 public:
  ErrorLogWatch();
  ~ErrorLogWatch();
  ErrorLogWatch(const ErrorLogWatch&) = delete;
  ErrorLogWatch& operator=(const ErrorLogWatch&) = delete;

  const std::string& Path() const { return path_; }
  const std::string& Before() const { return before_; }
  // What was written since the watch began; the whole file when it shrank.
  std::string Added() const;

 private:
  std::string path_;
  std::string before_;
};

}  // namespace tidewell::test
