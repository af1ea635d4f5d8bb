// The main of every test program. Under Windows it refuses to run without
// the UTF-8 code page: a test program whose manifest was lost would pass
// names through another code page and prove nothing about the programs.

#include <gtest/gtest.h>

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
#ifdef _WIN32
  if (GetACP() != CP_UTF8) {
    std::fprintf(stderr, "the process code page is %u, not UTF-8 (65001): is the manifest linked?\n", GetACP());
    return 2;
  }
#endif
  return RUN_ALL_TESTS();
}
