#include "shared/text/FileSignature.h"

#include <gtest/gtest.h>

namespace tidewell {
namespace {

TEST(FileSignature, SaysWhoSignedAndHowFarToTrustIt) {
  using State = FileSignature::State;
  struct Case {
    FileSignature signature;
    std::string_view text;
  } cases[] = {
      {.signature = {State::Unsigned, ""}, .text = "unsigned"},
      {.signature = {State::Unsigned, "Left Over"}, .text = "unsigned"},
      {.signature = {State::Trusted, "Contoso Ltd"}, .text = "signed by Contoso Ltd"},
      {.signature = {State::NotTrusted, "Čech 日本"}, .text = "signed by Čech 日本 (not trusted)"},
      {.signature = {State::Changed, "Contoso Ltd"}, .text = "signed by Contoso Ltd (changed after signing)"},
      {.signature = {State::NotTrusted, ""}, .text = "signed (not trusted)"},
  };
  for (const Case& c : cases) EXPECT_EQ(SignatureText(c.signature), c.text) << c.text;
}

}  // namespace
}  // namespace tidewell
