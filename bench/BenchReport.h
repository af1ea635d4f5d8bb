#pragma once
// The one output format of every benchmark: a line per figure,
//   name <tab> figure <tab> unit <tab> ratio to the baseline figure
// so runs on different machines and builds compare line by line.
// A figure counts only when the work measured gave its floor's result: each
// disagreement is named on a "RESULT DIFFERS" line and the program exits
// non-zero (ExitStatus), so a fast wrong answer cannot pass.

#include <chrono>
#include <cstdio>
#include <string>

namespace tidewell::bench {

template <class F>
double MeasureSeconds(F&& work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline void Report(const std::string& name, double figure, const char* unit, double baseline) {
  std::printf("%-40s\t%12.3f\t%s\t%.3fx\n", name.c_str(), figure, unit, baseline > 0 ? figure / baseline : 0.0);
  std::fflush(stdout);
}

inline int& Disagreements() {
  static int count = 0;
  return count;
}

inline bool SameResult(const std::string& what, bool same) {
  if (same) return true;
  std::printf("RESULT DIFFERS: %s\n", what.c_str());
  std::fflush(stdout);
  ++Disagreements();
  return false;
}

inline bool SameCount(const std::string& what, long long got, long long floor) {
  return SameResult(what + " (" + std::to_string(got) + ", floor " + std::to_string(floor) + ")", got == floor);
}

inline int ExitStatus() { return Disagreements() == 0 ? 0 : 1; }

}  // namespace tidewell::bench
