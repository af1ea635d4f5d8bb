#include "tests/support/UnixLink.h"

#include <windows.h>

#include "shared/win/FileSystem.h"
#include "shared/win/Handles.h"
#include "shared/win/Utf8.h"

namespace tidewell::test {

std::string UnixPath(const std::string& path) {
  // Wine's own export: the Unix path of a Windows path, on the process heap.
  using ToUnix = char*(CDECL*)(const wchar_t*);
  auto toUnix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix) return {};
  std::wstring wide = WideFromUtf8(path);
  if (wide.empty()) return {};
  char* converted = toUnix(wide.c_str());
  if (!converted) return {};
  std::string out = converted;
  HeapFree(GetProcessHeap(), 0, converted);
  return out;
}

bool RunUnix(const std::string& line) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string command = line;
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  UniqueHandle held(process.hProcess), thread(process.hThread);
  // A Unix program's handle is not always signalled; callers check the result instead.
  WaitForSingleObject(held.Get(), 2000);
  return true;
}

bool MakeUnixSymlink(const std::string& link, const std::string& target) {
  // The link does not exist yet, so its folder is what Wine can name.
  size_t cut = link.find_last_of('\\');
  std::string unixTarget = UnixPath(target), unixFolder = UnixPath(link.substr(0, cut));
  if (unixTarget.empty() || unixFolder.empty()) return false;
  std::string unixLink = unixFolder + "/" + link.substr(cut + 1);
  if (!RunUnix("Z:\\bin\\ln -s \"" + unixTarget + "\" \"" + unixLink + "\"")) return false;
  for (int i = 0; i < 50 && PathAttributes(link) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
  return PathAttributes(link) != INVALID_FILE_ATTRIBUTES;
}

void RemoveUnixLink(const std::string& link) {
  std::string unixPath = UnixPath(link);
  if (unixPath.empty()) return;
  RunUnix("Z:\\bin\\rm -f \"" + unixPath + "\"");
  for (int i = 0; i < 50 && PathAttributes(link) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
}

}  // namespace tidewell::test
