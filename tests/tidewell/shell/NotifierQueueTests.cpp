#include "tidewell/shell/NotifierQueue.h"

#include <gtest/gtest.h>

namespace tidewell {
namespace {

class QuietPage : public IPage {
 public:
  PageLayout Layout() const override { return {}; }
  void Shown() override {}
};

std::string TextOf(const std::optional<Announcement>& shown) { return shown ? shown->text : "(waits)"; }

TEST(NotifierQueue, AnotherPagesPopupWaitsForTheOneShowingAndClicksFollowWhatShows) {
  QuietPage bhos, startup;
  NotifierQueue queue;
  EXPECT_EQ(queue.Current(), nullptr);
  EXPECT_EQ(TextOf(queue.Offer(bhos, "Toolbar", false)), "Toolbar");
  EXPECT_EQ(TextOf(queue.Offer(bhos, "Helper", true)), "Helper") << "a page's newer popup replaces its own";
  EXPECT_EQ(TextOf(queue.Offer(startup, "New startup entry: a", true)), "(waits)");
  EXPECT_EQ(TextOf(queue.Offer(startup, "2 new startup entries", true)), "(waits)");
  EXPECT_EQ(queue.Current(), &bhos);
  EXPECT_TRUE(queue.Waiting());

  std::optional<Announcement> next = queue.Next();
  EXPECT_EQ(TextOf(next), "2 new startup entries") << "a waiting page keeps only its latest text";
  EXPECT_EQ(next->page, &startup);
  EXPECT_EQ(queue.Current(), &startup);
  EXPECT_FALSE(queue.Next());
  EXPECT_EQ(TextOf(queue.Offer(bhos, "Toolbar", false)), "Toolbar") << "nothing showing: at once";
  EXPECT_EQ(queue.Current(), &bhos);
}

}  // namespace
}  // namespace tidewell
