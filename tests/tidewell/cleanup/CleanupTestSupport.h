#pragma once
// Planting files in scratch folders, and the link fixture the build makes.

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/TestFolder.h"

namespace tidewell::test {

inline void PlantFile(const std::filesystem::path& path, size_t length) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << std::string(length, 'x');
}

// Wine cannot make a symbolic link from a Windows program, so the build makes
// one (a Linux one, which Wine shows as a reparse point, like the profile's
// Desktop): "clean-me\link" points at "target", both in the build folder.
inline std::filesystem::path LinkFixture() {
  return (ProgramFolder() / ".." / "cleanup-link-fixture").lexically_normal();
}

}  // namespace tidewell::test
