#include "tidewell/removal/ForceDelete.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "shared/win/Prompt.h"
#include "shared/win/Utf8.h"
#include "tidewell/removal/CheckedFile.h"

namespace tidewell {

namespace {

// Only a refusal by permissions is worth taking the entry over; a file in use stays in use.
bool IsAccessDenied(DWORD error) { return error == ERROR_ACCESS_DENIED; }

void ClearReadOnly(const FolderScope& scope, const std::string& path, DWORD attributes) {
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    scope.SetAttributes(path, attributes & ~FILE_ATTRIBUTE_READONLY);
}

// Everyone, S-1-1-0: looked up by its number, never by a name that differs per language.
struct EveryoneSid {
  EveryoneSid() {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &sid)) sid = nullptr;
  }
  ~EveryoneSid() {
    if (sid) FreeSid(sid);
  }
  EveryoneSid(const EveryoneSid&) = delete;
  EveryoneSid& operator=(const EveryoneSid&) = delete;
  PSID sid = nullptr;
};

}  // namespace

bool SetPrivilege(SecurityApi& api, HANDLE token, const char* privilege, bool disableAll) {
  if (disableAll) {
    api.AdjustTokenPrivileges(token, TRUE, nullptr, 0, nullptr, nullptr);
    return GetLastError() == ERROR_SUCCESS;
  }
  TOKEN_PRIVILEGES state{};
  state.PrivilegeCount = 1;
  state.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueA(nullptr, privilege, &state.Privileges[0].Luid)) return false;
  api.AdjustTokenPrivileges(token, FALSE, &state, sizeof state, nullptr, nullptr);
  return GetLastError() == ERROR_SUCCESS;
}

BOOL SecurityApi::ApplyFileSecurity(const std::string& path, SECURITY_INFORMATION what,
                                    PSECURITY_DESCRIPTOR descriptor) {
  // Through a handle checked to be the entry itself: by name the change
  // would reach whatever a link there points to.
  UniqueHandle handle;
  CheckedStatus opened = OpenChecked(path, READ_CONTROL | WRITE_OWNER | WRITE_DAC, handle);
  if (opened != CheckedStatus::Done) {
    if (opened == CheckedStatus::Link) SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return ::SetKernelObjectSecurity(handle.Get(), what, descriptor);
}
BOOL SecurityApi::DeleteFileAt(const std::string& path) { return ::DeleteFileW(LongPath(path).c_str()); }
BOOL SecurityApi::RemoveFolder(const std::string& path) { return ::RemoveDirectoryW(LongPath(path).c_str()); }

CForcedDelete::CForcedDelete(SecurityApi& api, HWND reportTo) : api_(api), reportTo_(reportTo) {}
CForcedDelete::CForcedDelete(HWND reportTo) : api_(own_), reportTo_(reportTo) {}

void CForcedDelete::Report(const char* format, DWORD error) {
  if (!reported_.insert(format).second) return;
  char text[160];
  std::snprintf(text, sizeof text, format, static_cast<int>(error));
  if (reportTo_)
    PostPrompt(reportTo_, text, "", MB_OK);
  else
    Prompt(nullptr, text, "", MB_OK);
}

bool CForcedDelete::TakeOwnership(const std::string& path) {
  UniqueHandle token;
  if (!api_.OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES, token.Put())) {
    Report("Error in OpenProcessToken No : %d", GetLastError());
    return false;
  }
  // Enable the privilege, remembering its state so that only what changed is put back.
  TOKEN_PRIVILEGES state{}, previous{};
  DWORD previousLength = 0;
  state.PrivilegeCount = 1;
  state.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  bool adjusted = false;
  if (LookupPrivilegeValueA(nullptr, SE_TAKE_OWNERSHIP_NAME, &state.Privileges[0].Luid)) {
    SetLastError(ERROR_SUCCESS);
    adjusted = api_.AdjustTokenPrivileges(token.Get(), FALSE, &state, sizeof state, &previous, &previousLength) &&
               GetLastError() == ERROR_SUCCESS;
  }
  // Without the privilege the user can still become the owner of what it may
  // already change; only a failure of the change itself is worth a message.
  auto restore = [&] {
    if (adjusted && previous.PrivilegeCount > 0)
      api_.AdjustTokenPrivileges(token.Get(), FALSE, &previous, 0, nullptr, nullptr);
  };

  BYTE userBuffer[1024];
  DWORD length = 0;
  if (!api_.GetTokenInformation(token.Get(), TokenUser, userBuffer, sizeof userBuffer, &length)) {
    Report("Error in GetTokenInformation Error No : %d", GetLastError());
    restore();
    return false;
  }
  SECURITY_DESCRIPTOR descriptor{};
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  if (!api_.SetSecurityDescriptorOwner(&descriptor, reinterpret_cast<TOKEN_USER*>(userBuffer)->User.Sid)) {
    Report("Error in SetSecurityDescriptorOwner Error No : %d", GetLastError());
    restore();
    return false;
  }
  if (!api_.ApplyFileSecurity(path, OWNER_SECURITY_INFORMATION, &descriptor)) {
    Report("Error in SetFileSecurity Error No : %d", GetLastError());
    restore();
    return false;
  }
  restore();
  return true;
}

bool CForcedDelete::GrantAccess(const std::string& path, DWORD mask) {
  EveryoneSid everyone;
  if (!everyone.sid) {
    Report("Error in LookupAccountName No : %d", GetLastError());
    return false;
  }
  DWORD aclLength = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(everyone.sid);
  std::vector<BYTE> aclBuffer(aclLength);
  auto* acl = reinterpret_cast<PACL>(aclBuffer.data());
  if (!InitializeAcl(acl, aclLength, ACL_REVISION) || !api_.AddAccessAllowedAce(acl, mask, everyone.sid)) {
    Report("Error in AddAccessAllowedAce Error No : %d", GetLastError());
    return false;
  }
  SECURITY_DESCRIPTOR descriptor{};
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  if (!api_.SetSecurityDescriptorDacl(&descriptor, acl)) {
    Report("Error in SetSecurityDescriptorDacl Error No : %d", GetLastError());
    return false;
  }
  if (!api_.ApplyFileSecurity(path, DACL_SECURITY_INFORMATION, &descriptor)) {
    Report("Error in SetFileSecurity Error No : %d", GetLastError());
    return false;
  }
  return true;
}

bool CForcedDelete::TakeOver(const std::string& path) {
  DWORD attributes = PathAttributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  bool owned = TakeOwnership(path);
  bool granted = GrantAccess(path);
  return owned || granted;
}

bool CForcedDelete::DeleteEntry(const FolderScope& scope, const std::string& path, bool folder, bool link) {
  if (!scope.Contains(path)) return false;
  auto remove = [&] { return folder ? api_.RemoveFolder(path) : api_.DeleteFileAt(path); };
  if (remove()) return IsGone(path);
  // A link is never taken over: the owner and access list would be its target's.
  if (link || !IsAccessDenied(GetLastError())) return false;
  if (!TakeOver(path)) return false;
  ClearReadOnly(scope, path, PathAttributes(path));
  return remove() && IsGone(path);
}

void CForcedDelete::EmptyFolder(const std::string& folder) {
  FolderScope scope(folder);
  auto visit = [&](const FolderEntry& entry) {
    if (!entry.IsLink()) ClearReadOnly(scope, entry.path, entry.attributes);  // a link's flags are its target's
    if (entry.IsLink())
      DeleteEntry(scope, entry.path, entry.IsFolder(), true);  // never followed: what it points to is not ours
    else if (entry.IsFolder())
      DeleteTree(entry.path);
    else
      DeleteEntry(scope, entry.path, false, false);
    return true;
  };
  bool any = false;
  ForEachFolderEntry(folder, [&](const FolderEntry& entry) { return any = true, visit(entry); });
  if (!any && GetLastError() == ERROR_ACCESS_DENIED && TakeOver(folder)) ForEachFolderEntry(folder, visit);
}

bool CForcedDelete::DeleteTree(const std::string& folder) {
  std::string full = FullFolderPath(folder);
  std::string parent = ParentFolder(full);
  if (full.empty() || parent.empty()) return false;  // never a drive's root
  FolderScope outer(parent);
  DWORD attributes = PathAttributes(full);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return DeleteEntry(outer, full, true, true);  // the link only

  EmptyFolder(full);
  ClearReadOnly(outer, full, PathAttributes(full));
  if (DeleteEntry(outer, full, true, false)) {
    std::printf("success\n");
    return true;
  }
  std::printf("error %d\n", static_cast<int>(GetLastError()));
  return false;
}

bool ForceDeleteTree(const std::string& folder, HWND reportTo) {
  CForcedDelete forced(reportTo);
  return forced.DeleteTree(folder);
}

}  // namespace tidewell
