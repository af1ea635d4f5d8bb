// A generated 5 MB definitions file: deciphering it (DecryptBytes under the
// definitions key) and reading the XML (CXmlNode::Load), each as MB/s of input.
// The baselines are the speeds a scan start needs: 50 MB/s and 100 MB/s.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchReport.h"
#include "shared/crypto/BlowfishCipher.h"
#include "tidewell/spyware/XmlNode.h"

using namespace tidewell;

namespace {

constexpr size_t kTargetLength = 5 * 1024 * 1024;
constexpr int kRuns = 5;
const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";

std::string GenerateDefinitions() {
  std::string xml = kDeclaration + "\n<SPYWARE>\n";
  char entry[2048];
  for (int i = 0; xml.size() < kTargetLength; ++i) {
    std::snprintf(entry, sizeof entry,
                  "  <ENTRY%d NAME=\"Adware &amp; Toolbar %d\">\n"
                  "    <DESCRIPTION>Shows pop-up advertising and sends the pages you visit to a server. "
                  "Variant %d.</DESCRIPTION>\n"
                  "    <REGISTRY>\n"
                  "      <KEYS>\n"
                  "        <KEY1 MAIN=\"HKEY_LOCAL_MACHINE\" SUB=\"SOFTWARE\\\\Classes\\\\CLSID\" "
                  "VALUE=\"{%08X-1234-5678-9ABC-DEF012345678}\"/>\n"
                  "        <KEY2 MAIN=\"HKEY_CURRENT_USER\" SUB=\"Software\\\\Adware%d\" VALUE=\"Settings\"/>\n"
                  "      </KEYS>\n"
                  "      <VALUES>\n"
                  "        <VALUE1 MAIN=\"HKEY_LOCAL_MACHINE\" "
                  "SUB=\"SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run\" VALUE=\"adware%d\"/>\n"
                  "      </VALUES>\n"
                  "    </REGISTRY>\n"
                  "    <FILES>\n"
                  "      <FILE1 NAME=\"adware%d.dll\" PATH=\"Sys32Dir\"/>\n"
                  "      <FILE2 NAME=\"adware%d.exe\" PATH=\"PFDir\\\\Adware\"/>\n"
                  "    </FILES>\n"
                  "    <DIRECTORIES>\n"
                  "      <DIR1 NAME=\"Adware%d\" PATH=\"PFDir\"/>\n"
                  "    </DIRECTORIES>\n"
                  "    <COOKIES>\n"
                  "      <COOKIE1 NAME=\"adserver%d\"/>\n"
                  "    </COOKIES>\n"
                  "  </ENTRY%d>\n",
                  i, i, i, static_cast<unsigned>(i), i, i, i, i, i, i, i);
    xml += entry;
  }
  return xml + "</SPYWARE>\n";
}

double MegabytesPerSecond(size_t length, double seconds) { return length / (1024.0 * 1024.0) / seconds; }

}  // namespace

int main() {
  std::string xml = GenerateDefinitions();
  CBlowfishCipher cipher("qrvtkzam");
  std::vector<unsigned char> file = cipher.EncryptBytes(xml.data(), xml.size());

  std::string text;
  double decipher = 1e9;
  for (int run = 0; run < kRuns; ++run)
    decipher = std::min(decipher, bench::MeasureSeconds([&] { text = cipher.DecryptBytes(file.data(), file.size()); }));
  if (!bench::SameResult("deciphering gives the definitions back", text == xml)) return bench::ExitStatus();

  text.erase(0, kDeclaration.size());
  double parse = 1e9;
  int entries = 0;
  for (int run = 0; run < kRuns; ++run) {
    CXmlNode root;
    CXmlParseInfo info;
    const char* end = nullptr;
    parse = std::min(parse, bench::MeasureSeconds([&] { end = root.Load(text.c_str(), info); }));
    if (!bench::SameResult("the definitions parse: " + info.errorMessage, end != nullptr)) return bench::ExitStatus();
    entries = root.GetChildCount();
  }

  std::printf("# %zu bytes, %d entries\n", file.size(), entries);
  bench::Report("definitions_decipher", MegabytesPerSecond(file.size(), decipher), "MB/s", 50);
  bench::Report("definitions_parse", MegabytesPerSecond(text.size(), parse), "MB/s", 100);
  return 0;
}
