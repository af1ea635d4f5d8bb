#include "shared/win/AppPaths.h"

#include <gtest/gtest.h>

namespace tidewell {
namespace {

TEST(DatabasePath, KeepsTheDoubledBackslashBeforeTheFileName) {
  EXPECT_EQ(DatabasePathForProgram("C:\\Tools\\Tidewell.exe"), "C:\\Tools\\\\bhodb.mdb");
  EXPECT_EQ(DatabasePathForProgram("C:\\Tools\\Skylark.exe"), "C:\\Tools\\\\bhodb.mdb");
}

TEST(DatabasePath, CutsOnlyTheLastElementWhenAFolderHasTheProgramsName) {
  EXPECT_EQ(DatabasePathForProgram("C:\\Tidewell.exe\\Tidewell.exe"), "C:\\Tidewell.exe\\\\bhodb.mdb");
}

TEST(DatabasePath, AppFolderIsThePathCutBeforeTheFileName) {
  EXPECT_EQ(AppFolderOfDatabase("C:\\Tools\\\\bhodb.mdb"), "C:\\Tools\\");
  EXPECT_EQ(AppFolderOfDatabase("C:\\Tools\\bhodb.mdb"), "C:\\Tools\\");
}

}  // namespace
}  // namespace tidewell
