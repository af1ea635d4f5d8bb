#pragma once
// Registered test BHOs and the test BHO DLL for the BHO manager's tests.

#include <windows.h>

#include <optional>
#include <string>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Registry.h"
#include "tests/support/DatabaseRows.h"
#include "tests/support/FakeMainWindow.h"
#include "tests/support/HostProcess.h"
#include "tests/support/MessagePump.h"
#include "tests/support/ScratchRegistry.h"

namespace tidewell::test {

// A fresh class ID for one test object, so no two tests share a key.
std::string NewClassId();

// A BHO registered under the BHO key for the life of the object: with a
// class key whose InprocServer32 holds `file` (none when nullopt), both in
// the given registry view.
class RegisteredBho {
 public:
  RegisteredBho(std::optional<std::string> file, std::string clsid = NewClassId(),
                RegistryView view = RegistryView::Native);
  ~RegisteredBho();
  RegisteredBho(const RegisteredBho&) = delete;
  RegisteredBho& operator=(const RegisteredBho&) = delete;
  const std::string& Clsid() const { return clsid_; }

 private:
  std::string clsid_;
};

// A name as the tree shows a BHO this build registers: the 32-bit build
// writes into the 32-bit view, whose items say so.
std::string Shown(const std::string& name);

// Removes the BHO key and class key of the class ID, in every view.
void RemoveBhoKeys(const std::string& clsid);

// A BHOS row, written straight into the test database.
void InsertBhoRow(CADODatabase& database, const std::string& clsid, const std::string& name, const std::string& risk,
                  const std::string& comments = "", int modified = 0);

// The test BHO DLL (test_bho_host.exe loads it: HostProcess), from the build folder.
std::string FixtureDll();
// Copies it to a path (UTF-8); false when it could not.
bool CopyFixtureDll(const std::string& to);
// The fixed class ID the test BHO DLL registers.
inline constexpr const char* kFixtureClsid = "{D1A5E7B0-4C2F-4E8A-9B61-7F3C2D0E5A11}";

}  // namespace tidewell::test
