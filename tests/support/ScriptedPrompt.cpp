#include "tests/support/ScriptedPrompt.h"

#include <gtest/gtest.h>

namespace tidewell::test {

ScriptedPrompt::ScriptedPrompt(std::initializer_list<int> answers) : answers_(answers) {
  previous_ = SetPromptHandler([this](const PromptRequest& request) {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    if (answers_.empty()) {
      ADD_FAILURE() << "unexpected prompt: " << request.caption << ": " << request.text;
      return IDCANCEL;
    }
    int answer = answers_.front();
    answers_.pop_front();
    return answer;
  });
}

ScriptedPrompt::~ScriptedPrompt() { SetPromptHandler(std::move(previous_)); }

std::vector<PromptRequest> ScriptedPrompt::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

}  // namespace tidewell::test
