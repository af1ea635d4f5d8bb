#include "tests/tidewell/regclean/RegcleanFixtures.h"

#include <gtest/gtest.h>

#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "tests/support/ScratchRegistry.h"

namespace tidewell::test {

PlantedEntries::PlantedEntries() : marker_(UniqueName("TwRc")) {}

PlantedEntries::~PlantedEntries() {
  for (auto it = planted_.rbegin(); it != planted_.rend(); ++it) {
    if (it->isKey) {
      DeleteKeyTree(it->root, it->path, it->view);
    } else if (UniqueKey key = OpenKey(it->root, it->path, KEY_SET_VALUE, it->view)) {
      RegDeleteValueA(key.Get(), it->valueName.c_str());
    }
  }
}

void PlantedEntries::Key(HKEY root, const std::string& path, const std::string& valueName, const std::string& data,
                         DWORD type, RegistryView view) {
  UniqueKey key = CreateKey(root, path, KEY_ALL_ACCESS, view);
  ASSERT_TRUE(key) << path;
  planted_.push_back({root, path, "", true, view});
  if (valueName.empty() && data.empty()) return;
  ASSERT_TRUE(WriteString(key.Get(), valueName, data, type));
}

void PlantedEntries::Value(HKEY root, const std::string& path, const std::string& name, const std::string& data,
                           DWORD type, RegistryView view) {
  UniqueKey key = CreateKey(root, path, KEY_ALL_ACCESS, view);
  ASSERT_TRUE(key) << path;
  ASSERT_TRUE(WriteString(key.Get(), name, data, type));
  planted_.push_back({root, path, name, false, view});
}

std::vector<ProblemRow> MarkedProblems(CADODatabase& database, const std::string& marker) {
  std::vector<ProblemRow> rows;
  CADORecordset recordset(database);
  if (!recordset.Open("select * from problems order by ID") || recordset.RecordCount() == 0) return rows;
  recordset.MoveFirst();
  while (!recordset.IsEOF()) {
    ProblemRow row;
    recordset.GetFieldInt("ID", row.id);
    recordset.GetField("ptype", row.ptype);
    recordset.GetField("rootkey", row.rootkey);
    recordset.GetField("subkey", row.subkey);
    recordset.GetField("problem", row.problem);
    recordset.GetFieldInt("state", row.state);
    if (row.subkey.find(marker) != std::string::npos) rows.push_back(row);
    recordset.MoveNext();
  }
  return rows;
}

void MarkForRepair(CADODatabase& database, const std::vector<ProblemRow>& rows) {
  for (const auto& row : rows) {
    CADORecordset recordset(database);
    recordset.Open(FormatSql("update problems set state=1 where ID=%d", row.id));
  }
}

}  // namespace tidewell::test
