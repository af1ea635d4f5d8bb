#pragma once
// Answers message boxes from a script while it lives and records every one.

#include <deque>
#include <initializer_list>
#include <mutex>
#include <vector>

#include "shared/win/Prompt.h"

namespace tidewell::test {

class ScriptedPrompt {
 public:
  // Answers are used in order; a prompt beyond the script fails the test and
  // gets IDCANCEL.
  explicit ScriptedPrompt(std::initializer_list<int> answers = {});
  ~ScriptedPrompt();
  ScriptedPrompt(const ScriptedPrompt&) = delete;
  ScriptedPrompt& operator=(const ScriptedPrompt&) = delete;

  std::vector<PromptRequest> Requests() const;

 private:
  mutable std::mutex mutex_;
  std::deque<int> answers_;
  std::vector<PromptRequest> requests_;
  PromptHandler previous_;
};

}  // namespace tidewell::test
