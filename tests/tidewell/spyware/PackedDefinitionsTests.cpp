// The packer under tools/ and this cipher must agree: the build packs the
// sample definitions with it, and here they are deciphered and read back.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "shared/crypto/BlowfishCipher.h"
#include "tests/support/TestFolder.h"
#include "tidewell/spyware/XmlNode.h"

namespace tidewell {
namespace {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";

std::string ReadFile(const char* name) {
  std::ifstream file(test::ProgramFolder() / name, std::ios::binary);
  EXPECT_TRUE(file.is_open()) << name << " is missing beside the test program";
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(PackedDefinitions, DecipherToTheSourceTextAndParse) {
  std::string packed = ReadFile("definitions-sample.neo");
  std::string source = ReadFile("definitions-sample.xml");
  ASSERT_FALSE(packed.empty());
  EXPECT_EQ(packed.size() % 8, 0u);

  CBlowfishCipher cipher("qrvtkzam");
  std::string text = cipher.DecryptBytes(packed.data(), packed.size());
  ASSERT_EQ(text, source);
  ASSERT_EQ(text.rfind(kDeclaration, 0), 0u);

  text.erase(0, kDeclaration.size());
  CXmlNode root;
  CXmlParseInfo info;
  ASSERT_NE(root.Load(text.c_str(), info), nullptr) << info.errorMessage;
  ASSERT_EQ(root.GetChildCount(), 2);
  CXmlNode* toolbar = root.GetChild(0);
  EXPECT_EQ(toolbar->FindAttribute("NAME")->value, "Sample Toolbar");
  EXPECT_EQ(toolbar->FindChild("DESCRIPTION")->value, "Adds a toolbar & shows advertising.");
  CXmlNode* run = toolbar->FindChild("REGISTRY")->FindChild("VALUES")->GetChild(0);
  EXPECT_EQ(run->FindAttribute("SUB")->value, "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
  EXPECT_EQ(root.GetChild(1)->FindAttribute("NAME")->value, "Dialer \"Quick\"");
}

}  // namespace
}  // namespace tidewell
