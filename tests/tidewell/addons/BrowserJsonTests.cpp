#include "tidewell/addons/BrowserJson.h"

#include <gtest/gtest.h>

#include <string>

namespace tidewell {
namespace {

std::string Nested(int depth) { return std::string(depth, '[') + std::string(depth, ']'); }
std::string Prefs(const std::string& settings) { return R"({"extensions":{"settings":)" + settings + "}}"; }
std::string One(const std::string& fields) { return Prefs(R"({"aaa":{)" + fields + "}}"); }

TEST(BrowserJson, ChromiumPreferencesGiveTheirExtensions) {
  using O = AddonOrigin;
  struct Case {
    std::string text;
    bool readable;
    size_t count;
    const char* name;
    std::optional<bool> enabled;
    AddonOrigin origin;
  };
  const Case cases[] = {
      {One(R"("manifest":{"name":"Ad Stop","version":"1"},"state":1,"location":1,"from_webstore":true)"), true, 1,
       "Ad Stop", true, O::Store},
      {One(R"("state":0,"location":1)"), true, 1, "", false, O::Store},
      {One(R"("disable_reasons":8,"state":1)"), true, 1, "", false, O::Store},
      {One(R"("disable_reasons":[1])"), true, 1, "", false, O::Store},
      {One(R"("disable_reasons":0)"), true, 1, "", true, O::Store},
      {One(R"("location":2)"), true, 1, "", std::nullopt, O::Outside},
      {One(R"("location":3)"), true, 1, "", std::nullopt, O::Outside},
      {One(R"("location":9)"), true, 1, "", std::nullopt, O::Policy},
      {One(R"("location":7)"), true, 1, "", std::nullopt, O::Policy},
      {One(R"("location":4,"path":"C:\\dev\\ext")"), true, 1, "", std::nullopt, O::Unpacked},
      {One(R"("location":5)"), true, 1, "", std::nullopt, O::BrowserFolder},
      {One(R"("location":1,"was_installed_by_default":true)"), true, 1, "", std::nullopt, O::BrowserFolder},
      // Values of the wrong type are left out, an entry that is no object skipped.
      {Prefs(R"({"aaa":{"manifest":{"name":5},"state":"1","location":"3"},"bbb":7})"), true, 1, "", std::nullopt,
       O::Store},
      {R"({"browser":{}})", true, 0, "", std::nullopt, O::Store},
      {Prefs("[1,2]"), true, 0, "", std::nullopt, O::Store},
      {R"({"extensions":{"settings":{"aaa":)", false, 0, "", std::nullopt, O::Store},
      {"[]", false, 0, "", std::nullopt, O::Store},
      {"", false, 0, "", std::nullopt, O::Store},
      {One(R"("x":)" + Nested(70)), false, 0, "", std::nullopt, O::Store},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 120));
    auto extensions = ReadChromiumExtensions(c.text);
    ASSERT_EQ(extensions.has_value(), c.readable);
    if (!extensions) continue;
    ASSERT_EQ(extensions->size(), c.count);
    if (c.count == 0) continue;
    const ChromiumExtension& e = extensions->front();
    EXPECT_EQ(e.id, "aaa");
    EXPECT_EQ(e.name, c.name);
    EXPECT_EQ(e.enabled, c.enabled);
    EXPECT_EQ(ChromiumOrigin(e), c.origin);
  }
}

TEST(BrowserJson, SecurePreferencesFillWhatPreferencesLack) {
  auto into = ReadChromiumExtensions(Prefs(R"({"aaa":{"state":0},"ccc":{"location":1}})"));
  auto more = ReadChromiumExtensions(Prefs(R"({"aaa":{"manifest":{"name":"N"},"location":3,"state":1},"bbb":{}})"));
  ASSERT_TRUE(into && more);
  MergeChromiumExtensions(*into, *more);
  ASSERT_EQ(into->size(), 3u);
  EXPECT_EQ((*into)[0].name, "N");
  EXPECT_EQ((*into)[0].enabled, false);  // the first file's own value stands
  EXPECT_EQ((*into)[0].location, 3);
  EXPECT_TRUE(IsExtensionStub((*into)[2]));
  EXPECT_FALSE(IsExtensionStub((*into)[1]));
}

TEST(BrowserJson, ManifestNamesResolveThroughTheirLocales) {
  struct Case {
    const char* manifest;
    std::optional<std::string> key;
    const char* messages;
    std::optional<std::string> message;
  };
  const Case cases[] = {
      {R"({"name":"Ad Stop","version":"1"})", std::nullopt, "{}", std::nullopt},
      {R"({"name":"__MSG_appName__","default_locale":"en"})", "appName", R"({"appName":{"message":"Ad"}})", "Ad"},
      {R"({"name":"__MSG_APPNAME__"})", "APPNAME", R"({"appname":{"message":"Ad"}})", "Ad"},  // keys ignore case
      {R"({"name":"__MSG_a__"})", "a", R"({"a":{"message":3}})", std::nullopt},
      {R"({"name":"__MSG_a__"})", "a", R"({"a":{"message":"x")", std::nullopt},
      {R"({"name":"__MSG___"})", std::nullopt, "{}", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.manifest);
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
      "[Install4F96D1932A9F858E]\nDefault=Profiles/x.default\n[Profile0]\nIsRelative=1\nPath=Profiles/x.default\n"
      "[Profile2]\nName=no path\n");
  ASSERT_EQ(profiles.size(), 2u);
  EXPECT_EQ(profiles[0].path, "D:\\ff\\work");
  EXPECT_FALSE(profiles[0].relative);
  EXPECT_EQ(profiles[1].path, "Profiles/x.default");
  EXPECT_TRUE(profiles[1].relative);
  EXPECT_TRUE(ReadFirefoxProfiles("Path=x\n[General]\nPath=y").empty());
}

TEST(BrowserJson, ExtensionsJsonGivesTheAddons) {
  using O = AddonOrigin;
  struct Case {
    std::string addons;
    bool readable;
    size_t count;
    const char* name;
    bool active;
    AddonOrigin origin;
  };
  const Case cases[] = {
      {R"([{"id":"a@x","name":"raw","defaultLocale":{"name":"Shown"},"active":true,"location":"app-profile"}])", true, 1,
       "Shown", true, O::Store},
      {R"([{"id":"a@x","name":"Own","active":false,"userDisabled":true,"location":"app-global"}])", true, 1, "Own",
       false, O::Outside},
      {R"([{"id":"a@x","location":"app-builtin","active":true}])", true, 1, "", true, O::BrowserFolder},
      {R"([{"id":"a@x","location":"app-temporary"}])", true, 1, "", false, O::Unpacked},
      {R"([{"name":"x"},{"id":5},7,{"id":"a@x","active":"yes"}])", true, 1, "", false, O::Outside},
      {"{}", true, 0, "", false, O::Store},
      {R"([{"id":"a@x"})", false, 0, "", false, O::Store},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.addons);
    auto addons = ReadFirefoxAddons(R"({"addons":)" + c.addons + "}");
    ASSERT_EQ(addons.has_value(), c.readable);
    if (!addons) continue;
    ASSERT_EQ(addons->size(), c.count);
    if (c.count == 0) continue;
    EXPECT_EQ(addons->front().id, "a@x");
    EXPECT_EQ(addons->front().name, c.name);
    EXPECT_EQ(addons->front().active, c.active);
    EXPECT_EQ(FirefoxOrigin(addons->front().location), c.origin);
  }
}

TEST(BrowserJson, PoliciesSayWhichExtensionsTheyPutIn) {
  struct Case {
    const char* settings;
    size_t count;
    bool installs;
    const char* url;
  };
  const Case cases[] = {
      {R"({"aaa":{"installation_mode":"force_installed","update_url":"https://u/x"}})", 1, true, "https://u/x"},
      {R"({"aaa":{"installation_mode":"normal_installed","install_url":"https://i/a.xpi"}})", 1, true, "https://i/a.xpi"},
      {R"({"aaa":{"installation_mode":"allowed"}})", 1, false, ""},
      {R"({"aaa":{"installation_mode":"blocked"}})", 1, false, ""},
      {R"({"aaa":{"installation_mode":1}})", 1, false, ""},
      {R"({"aaa":"force_installed"})", 0, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings);
    auto entries = ReadExtensionSettings(c.settings);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), c.count);
    if (c.count == 0) continue;
    EXPECT_EQ(InstallsExtension(entries->front()), c.installs);
    EXPECT_EQ(entries->front().url, c.url);
  }
  EXPECT_FALSE(InstallsExtension({"*", "force_installed", ""}));
  EXPECT_FALSE(ReadExtensionSettings("[]"));
  EXPECT_FALSE(ReadExtensionSettings("{\"a\":"));

  auto policies = ReadFirefoxPolicies(
      R"({"policies":{"Extensions":{"Install":["https://x/a.xpi",3,"","C:\\b.xpi"]},)"
      R"("ExtensionSettings":{"c@x":{"installation_mode":"force_installed"}}}})");
  ASSERT_TRUE(policies);
  EXPECT_EQ(policies->install, (std::vector<std::string>{"https://x/a.xpi", "C:\\b.xpi"}));
  ASSERT_EQ(policies->settings.size(), 1u);
  EXPECT_EQ(policies->settings[0].id, "c@x");
  EXPECT_TRUE(ReadFirefoxPolicies(R"({"policies":{"Extensions":{"Install":"x"}}})")->install.empty());
  EXPECT_FALSE(ReadFirefoxPolicies("{\"policies\":" + Nested(65) + "}"));
}

TEST(BrowserAddonRows, ImposedAddonsStandOutAndDisabledOnesAreUnknown) {
  using O = AddonOrigin;
  constexpr AddonState on = AddonState::Enabled, off = AddonState::Disabled;
  const struct {
    AddonOrigin origin;
    AddonState state;
    AddonMark mark;
  } cases[] = {{O::Policy, off, AddonMark::HighRisk},    {O::Outside, on, AddonMark::HighRisk},
               {O::Store, off, AddonMark::Unknown},      {O::Unpacked, off, AddonMark::Unknown},
               {O::Store, on, AddonMark::None},          {O::BrowserFolder, on, AddonMark::None},
               {O::Unpacked, on, AddonMark::None}};
  for (const auto& c : cases) EXPECT_EQ(AddonMarkOf(c.origin, c.state), c.mark) << AddonOriginText(c.origin);
}

TEST(BrowserJson, SmallTextRules) {
  EXPECT_EQ(ParseForcelistValue("aaa;https://u/x").url, "https://u/x");
  EXPECT_EQ(ParseForcelistValue(" aaa ").id, "aaa");
  EXPECT_EQ(ParseForcelistValue("aaa;").id, "aaa");
  EXPECT_EQ(LastPathPart("https://x/y/a.xpi?z=1"), "a.xpi");
  EXPECT_EQ(LastPathPart("C:\\ext\\dir\\"), "dir");
  EXPECT_TRUE(JsonDepthWithin(Nested(64)));
  EXPECT_FALSE(JsonDepthWithin(Nested(65)));
  EXPECT_TRUE(JsonDepthWithin("[\"" + std::string(100, '[') + "\"]"));  // brackets in strings do not count
}

}  // namespace
}  // namespace tidewell
