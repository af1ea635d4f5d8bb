#include "tidewell/shell/NotifierQueue.h"

#include <algorithm>

namespace tidewell {

std::optional<Announcement> NotifierQueue::Offer(IPage& page, std::string text, bool showing) {
  if (!showing || current_ == &page) {
    current_ = &page;
    return Announcement{&page, std::move(text)};
  }
  // A page waits with its latest text only.
  auto queued = std::find_if(waiting_.begin(), waiting_.end(), [&](const Announcement& one) { return one.page == &page; });
  if (queued != waiting_.end()) queued->text = std::move(text);
  else waiting_.push_back({&page, std::move(text)});
  return std::nullopt;
}

std::optional<Announcement> NotifierQueue::Next() {
  if (waiting_.empty()) return std::nullopt;
  Announcement next = std::move(waiting_.front());
  waiting_.pop_front();
  current_ = next.page;
  return next;
}

}  // namespace tidewell
