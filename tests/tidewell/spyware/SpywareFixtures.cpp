#include "tests/tidewell/spyware/SpywareFixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>

#include "shared/crypto/BlowfishCipher.h"
#include "shared/win/FileSystem.h"
#include "shared/win/Utf8.h"
#include "tests/support/TestFolder.h"
#include "tests/support/UnixLink.h"
#include "tidewell/spyware/Definitions.h"

namespace tidewell::test {

std::string SpyName(const std::string& what) {
  static std::atomic<int> counter{0};
  return "spwtest-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) + "-" +
         std::to_string(counter++) + "-" + what;
}

void RemoveTree(const std::string& path) {
  DWORD attributes = PathAttributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  std::wstring wide = LongPath(path);
  SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL | (attributes & FILE_ATTRIBUTE_DIRECTORY));
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileW(wide.c_str());
    return;
  }
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    ForEachFolderEntry(path, [](const FolderEntry& entry) {
      RemoveTree(entry.path);
      return true;
    });
  }
  if (!RemoveDirectoryW(wide.c_str()) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    RemoveUnixLink(path);  // Wine 8 removes a directory link only from the Unix side
  }
}

bool Exists(const std::string& path) { return PathAttributes(path) != INVALID_FILE_ATTRIBUTES; }

bool WriteTextFile(const std::string& path, const std::string& text) {
  std::ofstream file(PathFromUtf8(path), std::ios::binary);
  file << text;
  return file.good();
}

PlantedFolder::PlantedFolder(std::string path) : path_(std::move(path)) {
  RemoveTree(path_);
  if (!CreateDirectoryW(LongPath(path_).c_str(), nullptr)) ADD_FAILURE() << "cannot plant " << path_;
}

PlantedFolder::~PlantedFolder() { RemoveTree(path_); }

PlantedKey::PlantedKey(HKEY root, std::string path, RegistryView view)
    : root_(root), path_(std::move(path)), view_(view) {
  // The key's first level below "Software" is what the test made; it goes whole.
  size_t software = path_.find('\\');
  size_t next = software == std::string::npos ? std::string::npos : path_.find('\\', software + 1);
  top_ = path_.substr(0, next);
  key_ = CreateKey(root_, path_, KEY_ALL_ACCESS, view_);
  if (!key_) ADD_FAILURE() << "cannot plant key " << path_;
}

PlantedKey::~PlantedKey() {
  key_.Reset();
  DeleteKeyTree(root_, top_, view_);
}

bool PlantedKey::SetValue(const std::string& name, size_t bytes) {
  std::string data(bytes, 'x');
  return RegSetValueExA(key_.Get(), name.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(data.data()),
                        static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

std::string CookieRecord(const std::string& hostAndPath, const std::string& value) {
  return "id\n" + value + "\n" + hostAndPath + "\n1024\n2596879104\n30124053\n3210817712\n29800011\n*\n";
}

std::string PackDefinitions(const std::string& xml) {
  CBlowfishCipher cipher(kDefinitionsKey);
  std::string text = std::string(kDefinitionsDeclaration) + xml;
  std::vector<unsigned char> bytes = cipher.EncryptBytes(text.data(), text.size());
  return std::string(bytes.begin(), bytes.end());
}

bool WriteDefinitions(const std::string& path, const std::string& xml) {
  return WriteTextFile(path, PackDefinitions(xml));
}

TestRemoval::TestRemoval(RemovalSettings settings) {
  database_.Open(app_.ConnectionString());
  settings.database = &database_;
  if (settings.appFolder.empty()) settings.appFolder = app_.Text();
  action_.emplace(database_, SpywareGuards(settings), "Removed spyware: test");
  remover_.emplace(settings, *action_);
}

}  // namespace tidewell::test
