#pragma once
// Fake spyware planted in the test Wine prefix under unique names, and
// removed again whatever the test's outcome. Nothing is planted under a
// folder whose name holds the product's name: such paths are protected.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "shared/win/Handles.h"
#include "shared/win/Registry.h"
#include "tests/support/HostProcess.h"
#include "tests/support/SystemFolders.h"
#include "tests/support/TestFolder.h"
#include "tidewell/spyware/SpywareRemoval.h"
#include "tests/support/UnixLink.h"

namespace tidewell::test {

// "spwtest-<process>-<tick>-<n>-<what>": no other run uses it.
std::string SpyName(const std::string& what);

// A folder created for the test and removed with everything below it
// (read-only entries included; links are removed, never followed). Paths are
// UTF-8 and go through the wide functions, whatever the code page.
class PlantedFolder {
 public:
  explicit PlantedFolder(std::string path);
  ~PlantedFolder();
  PlantedFolder(const PlantedFolder&) = delete;
  PlantedFolder& operator=(const PlantedFolder&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

void RemoveTree(const std::string& path);
bool WriteTextFile(const std::string& path, const std::string& text);
bool Exists(const std::string& path);

// A registry key created for the test in one view, removed with its tree.
class PlantedKey {
 public:
  PlantedKey(HKEY root, std::string path, RegistryView view = RegistryView::Native);
  ~PlantedKey();
  PlantedKey(const PlantedKey&) = delete;
  PlantedKey& operator=(const PlantedKey&) = delete;
  HKEY Key() const { return key_.Get(); }
  bool SetValue(const std::string& name, size_t bytes);

 private:
  HKEY root_;
  std::string path_, top_;
  RegistryView view_;
  UniqueKey key_;
};

// One record of a cookie file as Internet Explorer writes it.
std::string CookieRecord(const std::string& hostAndPath, const std::string& value);

// The definitions XML enciphered as extra.neo holds it, declaration first.
std::string PackDefinitions(const std::string& xml);
bool WriteDefinitions(const std::string& path, const std::string& xml);

// One press of the remove button, kept in an application folder of its own
// (settings.appFolder, when given, is where the guards put Tidewell).
class TestRemoval {
 public:
  explicit TestRemoval(RemovalSettings settings = {});
  RemovalOutcome Remove(const Detection& detection) { return remover_->Remove(detection); }

 private:
  TestAppFolder app_;
  CADODatabase database_;
  std::optional<RemovalAction> action_;
  std::optional<SpywareRemover> remover_;
};

}  // namespace tidewell::test
