#pragma once
// Removes a folder tree that spyware protected with restrictive permissions
// and read-only flags. Entries are deleted plainly first; only those that
// refuse are taken over (owner = the current user, access list = everyone
// full access) and tried once more. Reparse points (junctions, symbolic
// links) are removed as links and never descended into.

#include <windows.h>

#include <set>
#include <string>

#include "shared/win/FileSystem.h"
#include "shared/win/Handles.h"

namespace tidewell {

// The system calls ownership, access and deletion go through; a test replaces
// one to make it fail (Wine accepts an owner change without carrying it out
// and keeps no access lists that could refuse a delete).
class SecurityApi {
 public:
  virtual ~SecurityApi() = default;
  virtual BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token) {
    return ::OpenProcessToken(process, access, token);
  }
  virtual BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, TOKEN_PRIVILEGES* state, DWORD length,
                                     TOKEN_PRIVILEGES* previous, DWORD* returned) {
    return ::AdjustTokenPrivileges(token, disableAll, state, length, previous, returned);
  }
  virtual BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, void* buffer, DWORD length,
                                   DWORD* returned) {
    return ::GetTokenInformation(token, kind, buffer, length, returned);
  }
  virtual BOOL SetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR descriptor, PSID owner) {
    return ::SetSecurityDescriptorOwner(descriptor, owner, FALSE);
  }
  virtual BOOL AddAccessAllowedAce(PACL acl, DWORD mask, PSID sid) {
    return ::AddAccessAllowedAce(acl, ACL_REVISION, mask, sid);
  }
  virtual BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, PACL acl) {
    return ::SetSecurityDescriptorDacl(descriptor, TRUE, acl, FALSE);
  }
  // Paths are whole UTF-8 paths, reached through the \\?\ form.
  virtual BOOL ApplyFileSecurity(const std::string& path, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR descriptor);
  virtual BOOL DeleteFileAt(const std::string& path);
  virtual BOOL RemoveFolder(const std::string& path);
};

// Enables the named privilege (disableAll false) or disables every privilege
// of the token; true when the system reports no error afterwards.
bool SetPrivilege(SecurityApi& api, HANDLE token, const char* privilege, bool disableAll);

class CForcedDelete {
 public:
  static constexpr DWORD kGenericAll = GENERIC_ALL;  // 0x10000000

  // reportTo: the window that shows the failures when the delete runs on a
  // worker; without one they are shown in place.
  explicit CForcedDelete(SecurityApi& api, HWND reportTo = nullptr);
  explicit CForcedDelete(HWND reportTo = nullptr);  // the system's own calls

  // True when the folder itself is gone. A path that is no folder gives
  // false without a message. Nothing outside the folder is touched: names
  // that are not plain are left, and links are removed, never followed.
  bool DeleteTree(const std::string& folder);
  // Makes the current user the owner. Restores the privileges it changed.
  bool TakeOwnership(const std::string& path);
  // Replaces the path's access list by one entry: everyone (the well-known
  // identifier, so it works on every language of Windows) with the mask.
  bool GrantAccess(const std::string& path, DWORD mask = kGenericAll);

 private:
  void EmptyFolder(const std::string& folder);
  bool DeleteEntry(const FolderScope& scope, const std::string& path, bool folder, bool link);
  bool TakeOver(const std::string& path);
  // Each kind of failure is shown once per tree, not once per file.
  void Report(const char* format, DWORD error);

  SecurityApi own_;
  SecurityApi& api_;
  HWND reportTo_ = nullptr;
  std::set<std::string> reported_;
};

// The forced delete of one folder tree with the system's calls.
bool ForceDeleteTree(const std::string& folder, HWND reportTo = nullptr);

}  // namespace tidewell
