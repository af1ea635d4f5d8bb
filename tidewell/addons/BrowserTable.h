#pragma once
// The browsers the add-on listing knows, one row each: where their profiles
// are, which keys hold their policies and outside registrations, the
// process that must not run while their files change and the page where
// the user manages their add-ons.

#include <span>

namespace tidewell {

enum class ProfileLayout {
  ManyProfiles,  // a "User Data" folder with Default, Profile 1, ...
  OneProfile,    // the folder is the profile (Opera)
  Firefox,       // profiles.ini names them
};

struct BrowserInfo {
  const char* name;
  ProfileLayout layout;
  bool roaming;             // below %APPDATA%, else %LOCALAPPDATA%
  const char* profileRoot;  // relative to that folder
  const char* policyKey;    // below HKLM and HKCU; "" for none
  const char* outsideKey;   // registrations from outside; "" for none
  const char* processName;
  const char* extensionsPage;
};

std::span<const BrowserInfo> Browsers();

}  // namespace tidewell
