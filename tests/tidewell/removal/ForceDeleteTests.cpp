// The forced folder delete: plain deletes first, ownership only for what
// refuses, each kind of failure shown once. Wine carries out no owner change
// and keeps no access lists, so refusals and failures are injected.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>

#include "tests/support/ScriptedPrompt.h"
#include "tidewell/removal/ForceDelete.h"

namespace tidewell {
namespace {

class Scratch {
 public:
  Scratch() {
    static std::atomic<int> counter{0};
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + "spwforce-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~Scratch() { ForceDeleteTree(path_); }
  const std::string& Path() const { return path_; }
  std::string Add(const std::string& relative, bool folder = false) const {
    std::string full = path_ + "\\" + relative;
    if (folder) {
      CreateDirectoryA(full.c_str(), nullptr);
    } else {
      HANDLE file = CreateFileA(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      CloseHandle(file);
    }
    return full;
  }

 private:
  std::string path_;
};

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Refuses the first delete of every file with "access denied" and counts
// the owner and access changes; may fail those too.
class RefusingApi : public SecurityApi {
 public:
  bool failSecurity = false;
  int ownerChanges = 0, accessChanges = 0;
  std::set<std::string> refused;

  BOOL DeleteFileAt(const std::string& path) override {
    if (refused.insert(path).second) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    return SecurityApi::DeleteFileAt(path);
  }
  BOOL ApplyFileSecurity(const std::string& path, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR descriptor) override {
    (what & OWNER_SECURITY_INFORMATION ? ownerChanges : accessChanges)++;
    if (failSecurity) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    return SecurityApi::ApplyFileSecurity(path, what, descriptor);
  }
};

TEST(ForceDelete, RemovesATreeWithReadOnlyEntries) {
  Scratch scratch;
  scratch.Add("sub", true);
  scratch.Add("sub\\deeper", true);
  std::string readOnly = scratch.Add("sub\\deeper\\locked.dat");
  SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
  SetFileAttributesA((scratch.Path() + "\\sub").c_str(), FILE_ATTRIBUTE_READONLY);
  scratch.Add("top.dat");
  test::ScriptedPrompt prompts;
  EXPECT_TRUE(ForceDeleteTree(scratch.Path()));
  EXPECT_FALSE(Exists(scratch.Path()));
  EXPECT_TRUE(prompts.Requests().empty());
}

TEST(ForceDelete, EmptyFoldersGoAndNonFoldersAreRefusedSilently) {
  Scratch empty;
  test::ScriptedPrompt prompts;
  EXPECT_TRUE(ForceDeleteTree(empty.Path()));
  EXPECT_FALSE(ForceDeleteTree(empty.Path() + "-missing"));
  Scratch holder;
  std::string file = holder.Add("plain.txt");
  EXPECT_FALSE(ForceDeleteTree(file));
  EXPECT_TRUE(Exists(file));
  EXPECT_TRUE(prompts.Requests().empty());
}

TEST(ForceDelete, TakesOverOnlyTheEntriesThatRefuse) {
  Scratch scratch;
  scratch.Add("a.dat");
  scratch.Add("b.dat");
  RefusingApi api;
  api.refused.insert(scratch.Path() + "\\a.dat");  // a goes at the first try
  test::ScriptedPrompt prompts;
  CForcedDelete forced(api);
  EXPECT_TRUE(forced.DeleteTree(scratch.Path()));
  EXPECT_EQ(api.ownerChanges, 1) << "only b was taken over";
  EXPECT_EQ(api.accessChanges, 1);
  EXPECT_TRUE(prompts.Requests().empty());
}

TEST(ForceDelete, ShowsEachKindOfFailureOnceAndKeepsTheFolder) {
  Scratch scratch;
  for (const char* name : {"a.dat", "b.dat", "c.dat"}) scratch.Add(name);
  RefusingApi api;
  api.failSecurity = true;
  test::ScriptedPrompt prompts({IDOK, IDOK});
  CForcedDelete forced(api);
  EXPECT_FALSE(forced.DeleteTree(scratch.Path()));
  EXPECT_TRUE(Exists(scratch.Path() + "\\c.dat"));
  ASSERT_EQ(prompts.Requests().size(), 1u) << "one box, not one per file";
  EXPECT_EQ(prompts.Requests()[0].text, "Error in SetFileSecurity Error No : 5");
  EXPECT_EQ(prompts.Requests()[0].caption, "");
  EXPECT_EQ(prompts.Requests()[0].type, static_cast<UINT>(MB_OK));
}

class FailingStep : public SecurityApi {
 public:
  std::string step;
  BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token) override {
    if (step == "token") return Fail();
    return SecurityApi::OpenProcessToken(process, access, token);
  }
  BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, void* buffer, DWORD length,
                           DWORD* returned) override {
    if (step == "user") return Fail();
    return SecurityApi::GetTokenInformation(token, kind, buffer, length, returned);
  }
  BOOL SetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR descriptor, PSID owner) override {
    if (step == "owner") return Fail();
    return SecurityApi::SetSecurityDescriptorOwner(descriptor, owner);
  }
  BOOL AddAccessAllowedAce(PACL acl, DWORD mask, PSID sid) override {
    if (step == "ace") return Fail();
    return SecurityApi::AddAccessAllowedAce(acl, mask, sid);
  }
  BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, PACL acl) override {
    if (step == "dacl") return Fail();
    return SecurityApi::SetSecurityDescriptorDacl(descriptor, acl);
  }

 private:
  static BOOL Fail() {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
};

TEST(ForceDelete, OwnershipAndAccessFailuresSayWhichStepFailed) {
  Scratch scratch;
  std::string file = scratch.Add("x.dat");
  struct Case {
    const char* step;
    bool ownership;
    const char* message;
  };
  const Case cases[] = {
      {"token", true, "Error in OpenProcessToken No : 87"},
      {"user", true, "Error in GetTokenInformation Error No : 87"},
      {"owner", true, "Error in SetSecurityDescriptorOwner Error No : 87"},
      {"ace", false, "Error in AddAccessAllowedAce Error No : 87"},
      {"dacl", false, "Error in SetSecurityDescriptorDacl Error No : 87"},
  };
  for (const Case& item : cases) {
    FailingStep api;
    api.step = item.step;
    test::ScriptedPrompt prompts({IDOK, IDOK});
    CForcedDelete forced(api);
    bool result = item.ownership ? forced.TakeOwnership(file) : forced.GrantAccess(file);
    EXPECT_FALSE(result) << item.step;
    std::vector<PromptRequest> requests = prompts.Requests();
    ASSERT_FALSE(requests.empty()) << item.step;
    EXPECT_EQ(requests.back().text, item.message);
  }
  FailingStep none;
  CForcedDelete forced(none);
  test::ScriptedPrompt quiet({IDOK});
  EXPECT_TRUE(forced.GrantAccess(file));
}

}  // namespace
}  // namespace tidewell
