#include "shared/win/Profile.h"

#include <windows.h>

#include <vector>

namespace tidewell {

std::string ReadProfileValue(const std::string& key, const std::string& defaultValue) {
  std::vector<char> buffer(1024);
  for (;;) {
    DWORD length = GetProfileStringA(kProfileSection, key.c_str(), defaultValue.c_str(), buffer.data(),
                                     static_cast<DWORD>(buffer.size()));
    if (length + 1 < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 4);
  }
}

bool WriteProfileValue(const std::string& key, const std::string& value) {
  return WriteProfileStringA(kProfileSection, key.c_str(), value.c_str()) != FALSE;
}

}  // namespace tidewell
