#pragma once
// Registry entries planted for the registry cleaner's tests under one marker
// name, removed again at the end, and the problems rows that carry the marker.

#include <windows.h>

#include <string>
#include <vector>

#include "shared/db/AdoDatabase.h"
#include "shared/win/Registry.h"

namespace tidewell::test {

class PlantedEntries {
 public:
  PlantedEntries();
  ~PlantedEntries();
  PlantedEntries(const PlantedEntries&) = delete;
  PlantedEntries& operator=(const PlantedEntries&) = delete;

  // Unique to this run; every planted key or value name carries it.
  const std::string& Marker() const { return marker_; }

  // Creates root\path (removed at the end with its subkeys) and sets one value in it.
  void Key(HKEY root, const std::string& path, const std::string& valueName, const std::string& data,
           DWORD type = REG_SZ, RegistryView view = RegistryView::Native);
  // Sets one value in an existing place (removed at the end).
  void Value(HKEY root, const std::string& path, const std::string& name, const std::string& data,
             DWORD type = REG_SZ, RegistryView view = RegistryView::Native);

 private:
  struct Planted {
    HKEY root;
    std::string path;
    std::string valueName;  // empty for a key
    bool isKey;
    RegistryView view;
  };
  std::string marker_;
  std::vector<Planted> planted_;
};

struct ProblemRow {
  int id = 0;
  std::string ptype, rootkey, subkey, problem;
  int state = 0;
};
// The rows whose subkey carries the marker.
std::vector<ProblemRow> MarkedProblems(CADODatabase& database, const std::string& marker);
// Marks just these rows for repair.
void MarkForRepair(CADODatabase& database, const std::vector<ProblemRow>& rows);

}  // namespace tidewell::test
