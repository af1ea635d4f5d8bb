// Both programs as built carry the project's version, in the version resource
// and in the manifest, and name themselves in the version resource.

#include <gtest/gtest.h>

#include <windows.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

struct BuiltProgram {
  const char* file;
  const char* assemblyName;
  const char* description;
};

void PrintTo(const BuiltProgram& program, std::ostream* out) { *out << program.file; }

constexpr BuiltProgram kPrograms[] = {
    {"Tidewell.exe", "Tidewell", "Tidewell"},
    {"Skylark.exe", "Skylark", "Skylark definitions updater"},
};

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; *text; ++text) out += static_cast<char>(*text < 0x80 ? *text : '?');
  return out;
}

std::string Dotted(DWORD high, DWORD low) {
  return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low)) + "." +
         std::to_string(LOWORD(low));
}

class ProgramVersion : public testing::TestWithParam<BuiltProgram> {
 protected:
  std::wstring Path() const { return (test::ProgramFolder() / GetParam().file).wstring(); }
};

TEST_P(ProgramVersion, VersionResourceHoldsTheProjectVersionAndNamesTheProgram) {
  std::vector<char> info(GetFileVersionInfoSizeW(Path().c_str(), nullptr));
  ASSERT_FALSE(info.empty());
  ASSERT_TRUE(GetFileVersionInfoW(Path().c_str(), 0, static_cast<DWORD>(info.size()), info.data()));

  void* value = nullptr;
  UINT size = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", &value, &size));
  ASSERT_GE(size, sizeof(VS_FIXEDFILEINFO));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(Dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS), TIDEWELL_EXPECTED_VERSION);
  EXPECT_EQ(Dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS), TIDEWELL_EXPECTED_VERSION);

  auto text = [&](const wchar_t* name) {
    std::wstring query = std::wstring(L"\\StringFileInfo\\040904e4\\") + name;
    void* found = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), query.c_str(), &found, &length) || length == 0) return std::string("(none)");
    return Narrow(static_cast<const wchar_t*>(found));
  };
  EXPECT_EQ(text(L"FileVersion"), TIDEWELL_EXPECTED_VERSION);
  EXPECT_EQ(text(L"ProductVersion"), TIDEWELL_EXPECTED_VERSION);
  EXPECT_EQ(text(L"CompanyName"), "Tidewell");
  EXPECT_EQ(text(L"ProductName"), "Tidewell");
  EXPECT_EQ(text(L"FileDescription"), GetParam().description);
  EXPECT_EQ(text(L"OriginalFilename"), GetParam().file);
}

TEST_P(ProgramVersion, ManifestNamesTheProjectVersion) {
  HMODULE program = LoadLibraryExW(Path().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(program, nullptr);
  HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  ASSERT_NE(found, nullptr);
  std::string_view manifest(static_cast<const char*>(LockResource(LoadResource(program, found))),
                            SizeofResource(program, found));
  std::string identity = std::string("name=\"") + GetParam().assemblyName + "\" version=\"" +
                         TIDEWELL_EXPECTED_VERSION + "\"";
  EXPECT_NE(manifest.find(identity), std::string_view::npos) << manifest.substr(0, 300);
  FreeLibrary(program);
}

INSTANTIATE_TEST_SUITE_P(BuiltPrograms, ProgramVersion, testing::ValuesIn(kPrograms),
                         [](const auto& info) { return std::string(info.param.assemblyName); });

}  // namespace
}  // namespace tidewell
