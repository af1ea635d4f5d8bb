#include "shared/win/Prompt.h"

#include <gtest/gtest.h>

#include "tests/support/ScriptedPrompt.h"

namespace tidewell {
namespace {

TEST(Prompt, ScriptAnswersInOrderAndRecordsTheWording) {
  test::ScriptedPrompt script{IDYES, IDCANCEL};
  EXPECT_EQ(Prompt(nullptr, "Would you like to backup your registries first?", "Tidewell",
                   MB_YESNOCANCEL | MB_ICONQUESTION),
            IDYES);
  EXPECT_EQ(Prompt(nullptr, "Second", "Tidewell registry backup", MB_YESNO), IDCANCEL);
  auto requests = script.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].text, "Would you like to backup your registries first?");
  EXPECT_EQ(requests[0].caption, "Tidewell");
  EXPECT_EQ(requests[0].type, UINT(MB_YESNOCANCEL | MB_ICONQUESTION));
  EXPECT_EQ(requests[1].caption, "Tidewell registry backup");
}

TEST(Prompt, NestedScriptsRestoreTheOuterOne) {
  test::ScriptedPrompt outer{IDNO};
  {
    test::ScriptedPrompt inner{IDYES};
    EXPECT_EQ(Prompt(nullptr, "inner", "c"), IDYES);
  }
  EXPECT_EQ(Prompt(nullptr, "outer", "c"), IDNO);
  EXPECT_EQ(outer.Requests().size(), 1u);
}

}  // namespace
}  // namespace tidewell
