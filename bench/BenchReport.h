#pragma once
// The one output format of every benchmark: a line per figure,
//   name <tab> figure <tab> unit <tab> ratio to the baseline figure
// so runs on different machines and builds compare line by line.

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

}  // namespace tidewell::bench
