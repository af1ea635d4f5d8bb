#include "tests/tidewell/bho/BhoTestSupport.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "shared/win/Registry.h"
#include "shared/win/Utf8.h"
#include "tests/support/TestFolder.h"
#include "tidewell/bho/BhoCatalog.h"
#include "tidewell/bho/BhoUninstaller.h"

namespace tidewell::test {

std::string NewClassId() {
  GUID guid{};
  CoCreateGuid(&guid);
  char text[64];
  snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
           static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2],
           guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

RegisteredBho::RegisteredBho(std::optional<std::string> file, std::string clsid, RegistryView view)
    : clsid_(std::move(clsid)) {
  EXPECT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, std::string(kBhoKeyPath) + "\\" + clsid_, KEY_ALL_ACCESS, view));
  if (file) {
    UniqueKey inproc = CreateKey(HKEY_CLASSES_ROOT, "CLSID\\" + clsid_ + "\\InprocServer32", KEY_ALL_ACCESS, view);
    EXPECT_TRUE(inproc);
    WriteString(inproc.Get(), "", *file, file->find('%') != std::string::npos ? REG_EXPAND_SZ : REG_SZ);
  }
}

RegisteredBho::~RegisteredBho() { RemoveBhoKeys(clsid_); }

std::string Shown(const std::string& name) {
  return BhoTextInView(name, sizeof(void*) == 8 ? RegistryView::Bits64 : RegistryView::Bits32);
}

void RemoveBhoKeys(const std::string& clsid) {
  for (RegistryView view : {RegistryView::Bits32, RegistryView::Bits64}) {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string(kBhoKeyPath) + "\\" + clsid, view);
    DeleteKeyTree(HKEY_CLASSES_ROOT, "CLSID\\" + clsid, view);
  }
}

void InsertBhoRow(CADODatabase& database, const std::string& clsid, const std::string& name, const std::string& risk,
                  const std::string& comments, int modified) {
  CADORecordset insert(database);
  insert.Open(FormatSql("insert into BHOS(clsid,name,risk,files,comments,modified) values('%s','%s','%s','','%s',%d)",
                        clsid, name, risk, comments, modified));
  ASSERT_EQ(CountRows(database, FormatSql("select * from BHOS where clsid='%s'", clsid)), 1);
}

std::string FixtureDll() { return Utf8FromPath(ProgramFolder() / "test_bho.dll"); }

bool CopyFixtureDll(const std::string& to) {
  return CopyFileW(WideFromUtf8(FixtureDll()).c_str(), WideFromUtf8(to).c_str(), TRUE) != FALSE;
}

}  // namespace tidewell::test
