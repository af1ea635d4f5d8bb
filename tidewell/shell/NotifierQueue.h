#pragma once
// Whose popup the one notifier shows, and whose waits: a page's newer text
// takes its own popup's place at once, another page's waits until the
// popup showing has gone, and a click goes to the page whose popup shows.

#include <deque>
#include <optional>
#include <string>

#include "tidewell/shell/Page.h"

namespace tidewell {

struct Announcement {
  IPage* page = nullptr;
  std::string text;
};

class NotifierQueue {
 public:
  // The announcement to show now; none when it waits its turn. showing:
  // whether the notifier is out.
  std::optional<Announcement> Offer(IPage& page, std::string text, bool showing);
  // The popup has gone: the next announcement to show, if one waits.
  std::optional<Announcement> Next();
  // The page whose popup shows (or showed last); null before any.
  IPage* Current() const { return current_; }
  bool Waiting() const { return !waiting_.empty(); }

 private:
  IPage* current_ = nullptr;
  std::deque<Announcement> waiting_;
};

}  // namespace tidewell
