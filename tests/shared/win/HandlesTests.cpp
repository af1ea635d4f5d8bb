#include "shared/win/Handles.h"

#include <gtest/gtest.h>

namespace tidewell {
namespace {

bool HandleIsOpen(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != FALSE;
}

TEST(UniqueHandle, ClosesOnceWhenTheLastOwnerGoes) {
  HANDLE raw = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(HandleIsOpen(raw));
  {
    UniqueHandle first(raw);
    UniqueHandle second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(second.Get(), raw);
    EXPECT_TRUE(HandleIsOpen(raw));
  }
  EXPECT_FALSE(HandleIsOpen(raw));
}

TEST(UniqueHandle, ReleaseHandsOwnershipBack) {
  UniqueHandle owner(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  HANDLE raw = owner.Release();
  EXPECT_FALSE(owner);
  EXPECT_TRUE(HandleIsOpen(raw));
  CloseHandle(raw);
}

TEST(UniqueFindHandle, InvalidValueIsEmpty) {
  WIN32_FIND_DATAA data;
  UniqueFindHandle find(FindFirstFileA("Z:\\no\\such\\folder\\*", &data));
  EXPECT_FALSE(find);
}

TEST(UniqueKey, ClosesTheKey) {
  UniqueKey key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\TidewellTests\\Handles", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, key.Put(), nullptr),
            ERROR_SUCCESS);
  EXPECT_TRUE(key);
  key.Reset();
  EXPECT_FALSE(key);
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\TidewellTests\\Handles");
}

TEST(UniqueGdi, MoveAssignmentDeletesTheOldObject) {
  UniqueGdi<HBRUSH> brush(CreateSolidBrush(RGB(1, 2, 3)));
  HBRUSH old = brush.Get();
  brush = UniqueGdi<HBRUSH>(CreateSolidBrush(RGB(4, 5, 6)));
  EXPECT_NE(brush.Get(), old);
  EXPECT_EQ(GetObjectType(old), 0u);
}

}  // namespace
}  // namespace tidewell
