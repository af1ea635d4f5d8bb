#include "tidewell/addons/BrowserJson.h"

#include <gtest/gtest.h>

#include <string>

namespace tidewell {
namespace {

std::string Nested(int depth) { return std::string(depth, '[') + std::string(depth, ']'); }

std::string Preferences(const std::string& settings) { return R"({"extensions":{"settings":)" + settings + "}}"; }

TEST(BrowserJson, ChromiumPreferencesGiveTheirExtensions) {
  struct Case {
    const char* what;
    std::string text;
    bool readable;
    size_t count;
    const char* name;
    std::optional<bool> enabled;
    AddonOrigin origin;
  };
  const Case cases[] = {
      {"store, enabled",
       Preferences(R"({"aaa":{"manifest":{"name":"Ad Stop","version":"1.2"},"state":1,"location":1,"from_webstore":true}})"),
       true, 1, "Ad Stop", true, AddonOrigin::Store},
      {"disabled by state", Preferences(R"({"aaa":{"state":0,"location":1}})"), true, 1, "", false, AddonOrigin::Store},
      {"disabled by reasons mask", Preferences(R"({"aaa":{"disable_reasons":8,"location":1}})"), true, 1, "", false,
       AddonOrigin::Store},
      {"disabled by reasons list", Preferences(R"({"aaa":{"disable_reasons":[1],"location":1}})"), true, 1, "", false,
       AddonOrigin::Store},
      {"no reasons is enabled", Preferences(R"({"aaa":{"disable_reasons":0,"location":1}})"), true, 1, "", true,
       AddonOrigin::Store},
      {"external registry", Preferences(R"({"aaa":{"location":3}})"), true, 1, "", std::nullopt, AddonOrigin::Outside},
      {"external pref", Preferences(R"({"aaa":{"location":2}})"), true, 1, "", std::nullopt, AddonOrigin::Outside},
      {"policy", Preferences(R"({"aaa":{"location":9}})"), true, 1, "", std::nullopt, AddonOrigin::Policy},
      {"policy download", Preferences(R"({"aaa":{"location":7}})"), true, 1, "", std::nullopt, AddonOrigin::Policy},
      {"unpacked", Preferences(R"({"aaa":{"location":4,"path":"C:\\dev\\ext"}})"), true, 1, "", std::nullopt,
       AddonOrigin::Unpacked},
      {"component", Preferences(R"({"aaa":{"location":5}})"), true, 1, "", std::nullopt, AddonOrigin::BrowserFolder},
      {"installed by default", Preferences(R"({"aaa":{"location":1,"was_installed_by_default":true}})"), true, 1, "",
       std::nullopt, AddonOrigin::BrowserFolder},
      {"wrong types are skipped", Preferences(R"({"aaa":{"manifest":{"name":5},"state":"1","location":"3"},"bbb":7})"),
       true, 1, "", std::nullopt, AddonOrigin::Store},
      {"no extensions", R"({"browser":{}})", true, 0, "", std::nullopt, AddonOrigin::Store},
      {"settings not an object", Preferences("[1,2]"), true, 0, "", std::nullopt, AddonOrigin::Store},
      {"damaged", R"({"extensions":{"settings":{"aaa":)", false, 0, "", std::nullopt, AddonOrigin::Store},
      {"not an object", "[]", false, 0, "", std::nullopt, AddonOrigin::Store},
      {"empty", "", false, 0, "", std::nullopt, AddonOrigin::Store},
      {"too deep", Preferences(R"({"aaa":{"x":)" + Nested(70) + "}}"), false, 0, "", std::nullopt, AddonOrigin::Store},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto extensions = ReadChromiumExtensions(c.text);
    ASSERT_EQ(extensions.has_value(), c.readable);
    if (!extensions) continue;
    ASSERT_EQ(extensions->size(), c.count);
    if (c.count == 0) continue;
    EXPECT_EQ((*extensions)[0].id, "aaa");
    EXPECT_EQ((*extensions)[0].name, c.name);
    EXPECT_EQ((*extensions)[0].enabled, c.enabled);
    EXPECT_EQ(ChromiumOrigin((*extensions)[0]), c.origin);
  }
}

TEST(BrowserJson, SecurePreferencesFillWhatPreferencesLack) {
  auto preferences = ReadChromiumExtensions(Preferences(R"({"aaa":{"state":0},"ccc":{"location":1}})"));
  auto secure = ReadChromiumExtensions(
      Preferences(R"({"aaa":{"manifest":{"name":"Ad Stop","version":"2"},"location":3,"state":1},"bbb":{"location":4}})"));
  ASSERT_TRUE(preferences && secure);
  MergeChromiumExtensions(*preferences, *secure);
  ASSERT_EQ(preferences->size(), 3u);
  EXPECT_EQ((*preferences)[0].name, "Ad Stop");
  EXPECT_EQ((*preferences)[0].enabled, false);  // the first file's own value stands
  EXPECT_EQ((*preferences)[0].location, 3);
  EXPECT_EQ((*preferences)[2].id, "bbb");
  EXPECT_TRUE(IsExtensionStub(ChromiumExtension{.id = "x", .enabled = true}));
  EXPECT_FALSE(IsExtensionStub((*preferences)[1]));
}

TEST(BrowserJson, ManifestNamesResolveThroughTheirLocales) {
  struct Case {
    const char* what;
    const char* manifest;
    std::optional<std::string> key;
    const char* messages;
    std::optional<std::string> message;
  };
  const Case cases[] = {
      {"plain name", R"({"name":"Ad Stop","version":"1"})", std::nullopt, "{}", std::nullopt},
      {"message", R"({"name":"__MSG_appName__","default_locale":"en"})", "appName",
       R"({"appName":{"message":"Ad Stop"}})", "Ad Stop"},
      {"key case ignored", R"({"name":"__MSG_APPNAME__"})", "APPNAME", R"({"appname":{"message":"Ad Stop"}})",
       "Ad Stop"},
      {"message of wrong type", R"({"name":"__MSG_a__"})", "a", R"({"a":{"message":3}})", std::nullopt},
      {"messages damaged", R"({"name":"__MSG_a__"})", "a", R"({"a":{"message":"x")", std::nullopt},
      {"bare markers", R"({"name":"__MSG___"})", std::nullopt, "{}", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto manifest = ReadManifest(c.manifest);
    ASSERT_TRUE(manifest);
    auto key = MessageKey(manifest->name);
    EXPECT_EQ(key, c.key);
    if (key) EXPECT_EQ(ReadLocaleMessage(c.messages, *key), c.message);
  }
  EXPECT_EQ(ReadManifest(R"({"name":"__MSG_a__","default_locale":"de"})")->defaultLocale, "de");
  EXPECT_FALSE(ReadManifest("{\"name\":"));
  EXPECT_FALSE(ReadManifest("\"name\""));
}

TEST(BrowserJson, ProfilesIniGivesEachProfilesFolder) {
  auto profiles = ReadFirefoxProfiles(
      "[General]\r\nStartWithLastProfile=1\r\n\r\n[Profile1]\r\nName=work\r\nIsRelative=0\r\nPath=D:\\ff\\work\r\n"
      "[Install4F96D1932A9F858E]\nDefault=Profiles/x.default\n[Profile0]\nName=default\nIsRelative=1\n"
      "Path=Profiles/x.default\nDefault=1\n[Profile2]\nName=no path\n");
  ASSERT_EQ(profiles.size(), 2u);
  EXPECT_EQ(profiles[0].path, "D:\\ff\\work");
  EXPECT_FALSE(profiles[0].relative);
  EXPECT_EQ(profiles[1].path, "Profiles/x.default");
  EXPECT_TRUE(profiles[1].relative);
  EXPECT_TRUE(ReadFirefoxProfiles("Path=x\n[General]\nPath=y").empty());
}

TEST(BrowserJson, ExtensionsJsonGivesTheAddons) {
  struct Case {
    const char* what;
    const char* text;
    bool readable;
    size_t count;
    const char* name;
    bool active;
    AddonOrigin origin;
  };
  const Case cases[] = {
      {"locale name first",
       R"({"addons":[{"id":"a@x","name":"raw","defaultLocale":{"name":"Shown"},"version":"3","active":true,"location":"app-profile"}]})",
       true, 1, "Shown", true, AddonOrigin::Store},
      {"own name", R"({"addons":[{"id":"a@x","name":"Own","active":false,"userDisabled":true,"location":"app-global"}]})",
       true, 1, "Own", false, AddonOrigin::Outside},
      {"built in", R"({"addons":[{"id":"a@x","location":"app-builtin","active":true}]})", true, 1, "", true,
       AddonOrigin::BrowserFolder},
      {"temporary", R"({"addons":[{"id":"a@x","location":"app-temporary"}]})", true, 1, "", false,
       AddonOrigin::Unpacked},
      {"no id or wrong types", R"({"addons":[{"name":"x"},{"id":5},7,{"id":"a@x","active":"yes"}]})", true, 1, "",
       false, AddonOrigin::Outside},
      {"addons not a list", R"({"addons":{}})", true, 0, "", false, AddonOrigin::Store},
      {"damaged", R"({"addons":[{"id":"a@x"})", false, 0, "", false, AddonOrigin::Store},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto addons = ReadFirefoxAddons(c.text);
    ASSERT_EQ(addons.has_value(), c.readable);
    if (!addons) continue;
    ASSERT_EQ(addons->size(), c.count);
    if (c.count == 0) continue;
    EXPECT_EQ((*addons)[0].id, "a@x");
    EXPECT_EQ((*addons)[0].name, c.name);
    EXPECT_EQ((*addons)[0].active, c.active);
    EXPECT_EQ(FirefoxOrigin((*addons)[0].location), c.origin);
  }
}

TEST(BrowserJson, PoliciesSayWhichExtensionsTheyPutIn) {
  struct Case {
    const char* what;
    const char* settings;
    size_t count;
    bool installs;
    const char* url;
  };
  const Case cases[] = {
      {"forced", R"({"aaa":{"installation_mode":"force_installed","update_url":"https://u/x"}})", 1, true, "https://u/x"},
      {"normal", R"({"aaa":{"installation_mode":"normal_installed","install_url":"https://i/a.xpi"}})", 1, true,
       "https://i/a.xpi"},
      {"allowed", R"({"aaa":{"installation_mode":"allowed"}})", 1, false, ""},
      {"blocked", R"({"aaa":{"installation_mode":"blocked"}})", 1, false, ""},
      {"mode of wrong type", R"({"aaa":{"installation_mode":1}})", 1, false, ""},
      {"entry not an object", R"({"aaa":"force_installed"})", 0, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto entries = ReadExtensionSettings(c.settings);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), c.count);
    if (c.count == 0) continue;
    EXPECT_EQ(InstallsExtension((*entries)[0]), c.installs);
    EXPECT_EQ((*entries)[0].url, c.url);
  }
  EXPECT_FALSE(InstallsExtension({"*", "force_installed", ""}));
  EXPECT_FALSE(ReadExtensionSettings("[]"));
  EXPECT_FALSE(ReadExtensionSettings("{\"a\":"));

  auto policies = ReadFirefoxPolicies(
      R"({"policies":{"Extensions":{"Install":["https://x/a.xpi",3,"","C:\\b.xpi"]},)"
      R"("ExtensionSettings":{"c@x":{"installation_mode":"force_installed","install_url":"https://x/c.xpi"}}}})");
  ASSERT_TRUE(policies);
  EXPECT_EQ(policies->install, (std::vector<std::string>{"https://x/a.xpi", "C:\\b.xpi"}));
  ASSERT_EQ(policies->settings.size(), 1u);
  EXPECT_EQ(policies->settings[0].id, "c@x");
  EXPECT_TRUE(ReadFirefoxPolicies(R"({"policies":{"Extensions":{"Install":"x"}}})")->install.empty());
  EXPECT_FALSE(ReadFirefoxPolicies(("{\"policies\":" + Nested(65) + "}").c_str()));
}

TEST(BrowserJson, SmallTextRules) {
  struct Case {
    const char* value;
    const char* id;
    const char* url;
  };
  const Case forcelist[] = {{"aaa;https://u/x", "aaa", "https://u/x"}, {" aaa ", "aaa", ""}, {"aaa;", "aaa", ""}};
  for (const Case& c : forcelist) {
    SCOPED_TRACE(c.value);
    ForcelistEntry entry = ParseForcelistValue(c.value);
    EXPECT_EQ(entry.id, c.id);
    EXPECT_EQ(entry.url, c.url);
  }
  EXPECT_EQ(LastPathPart("https://x/y/a.xpi?z=1"), "a.xpi");
  EXPECT_EQ(LastPathPart("C:\\ext\\b.xpi"), "b.xpi");
  EXPECT_EQ(LastPathPart("C:\\ext\\dir\\"), "dir");
  EXPECT_TRUE(JsonDepthWithin(Nested(64)));
  EXPECT_FALSE(JsonDepthWithin(Nested(65)));
  EXPECT_TRUE(JsonDepthWithin("[\"" + std::string(100, '[') + "\"]"));  // brackets in strings do not count
  EXPECT_STREQ(AddonOriginText(AddonOrigin::Outside), "installed from outside the browser");
}

}  // namespace
}  // namespace tidewell
