#include "tests/skylark/SkylarkTestSupport.h"

#include <windows.h>

#include <fstream>
#include <iterator>

#include "shared/crypto/BlowfishCipher.h"
#include "shared/net/ServerHosts.h"
#include "shared/win/Profile.h"
#include "skylark/UpdateAnswer.h"

namespace tidewell::test {

namespace {
const char* const kKeys[] = {"AppPath", kUpdateRecordKey, kUpdateHostKey};
constexpr const char* kAbsent = "\x01" "absent";
}  // namespace

SkylarkProfile::SkylarkProfile() {
  for (const char* key : kKeys) {
    std::string value = ReadProfileValue(key, kAbsent);
    saved_.push_back({key, value != kAbsent, value});
  }
}

SkylarkProfile::~SkylarkProfile() {
  for (const Saved& s : saved_) WriteProfileStringA(kProfileSection, s.key.c_str(), s.present ? s.value.c_str() : nullptr);
}

void SkylarkProfile::Set(const std::string& appPath, const std::string& updateRecord, const std::string& updateHost) {
  WriteProfileValue("AppPath", appPath);
  if (updateRecord.empty())
    WriteProfileStringA(kProfileSection, kUpdateRecordKey, nullptr);
  else
    WriteProfileValue(kUpdateRecordKey, updateRecord);
  WriteProfileValue(kUpdateHostKey, updateHost);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string DumpAnswer(const std::vector<std::string>& records, const std::string& date) {
  CBlowfishCipher cipher(kDefinitionsKey);
  std::string body = "<html><form></form>\n";
  for (const auto& record : records) body += "<br>" + cipher.EncryptToHex(record);
  body += "<br>#" + date + "#</html>";
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace tidewell::test
