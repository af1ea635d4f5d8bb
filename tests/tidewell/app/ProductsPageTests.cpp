#include "tidewell/app/ProductsPage.h"

#include <gtest/gtest.h>

#include <chrono>

#include "resource.h"
#include "shared/win/BrowserHost.h"
#include "shared/win/Dialog.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/MessagePump.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;

constexpr const char* kLinksPage = "HTTP/1.1 200 OK\r\nContent-Length: 32\r\n\r\n<a href=\"/tools.html\">Tools</a>";

// Judged apart from the host: the tests and tools/run switch Wine's HTML
// engine off, so only a Windows machine (or a Wine with its engine) loads it.
bool HtmlEngineLoads() {
  HMODULE engine = LoadLibraryA("mshtml.dll");
  if (!engine) return false;
  FreeLibrary(engine);
  return true;
}

// The test dialog itself stays hidden, so a control's own style tells.
bool HasVisibleStyle(HWND window) { return (GetWindowLongPtrA(window, GWL_STYLE) & WS_VISIBLE) != 0; }

int ChildCount(HWND parent) {
  int count = 0;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) ++count;
  return count;
}

class ProductsPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dialog.Create(GetModuleHandleA(nullptr), IDD_MAIN_DIALOG, nullptr));
    area = {10, 30, 410, 330};
    page.Bind(dialog.Handle(), dialog.Item(IDC_BROWSER), dialog.Item(IDC_PRODUCTS_MESSAGE));
  }
  void TearDown() override {
    page.Stop();
    dialog.Destroy();
  }
  std::string MessageText() const {
    char text[256] = {};
    GetWindowTextA(dialog.Item(IDC_PRODUCTS_MESSAGE), text, sizeof text);
    return text;
  }

  Dialog dialog;
  CProductsPage page;
  RECT area{};
};

TEST(BrowserHost, CreationWithoutTheEngineFailsAndLeavesNoWindow) {
  if (HtmlEngineLoads()) GTEST_SKIP() << "the HTML engine is present here";
  HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(parent);
  for (int attempt = 0; attempt < 2; ++attempt) {  // a second try fails the same way
    EXPECT_EQ(BrowserHost::Create(parent, {0, 0, 300, 200}), nullptr);
    EXPECT_EQ(ChildCount(parent), 0);
  }
  DestroyWindow(parent);
}

// Wine's control exists without its engine: enough to drive the container.
TEST(BrowserHost, TheControlFillsItsWindowAndEndsCleanly) {
  for (bool parentGoesFirst : {false, true}) {
    SCOPED_TRACE(parentGoesFirst ? "parent destroyed first" : "host destroyed first");
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 600, 500, nullptr, nullptr, nullptr, nullptr);
    auto host = BrowserHost::Create(parent, {0, 0, 300, 200}, BrowserHost::Engine::NotChecked);
    ASSERT_TRUE(host);
    HWND control = GetWindow(host->Window(), GW_CHILD);
    ASSERT_TRUE(control);
    for (RECT area : {RECT{10, 20, 310, 220}, RECT{0, 0, 500, 400}}) {
      host->Place(area);
      RECT placed{}, inner{};
      GetWindowRect(host->Window(), &placed);
      MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&placed), 2);
      EXPECT_TRUE(EqualRect(&placed, &area));
      EXPECT_TRUE(HasVisibleStyle(host->Window()));
      GetWindowRect(control, &inner);
      EXPECT_EQ(inner.right - inner.left, area.right - area.left);
      EXPECT_EQ(inner.bottom - inner.top, area.bottom - area.top);
    }
    EXPECT_TRUE(host->Navigate("http://127.0.0.1:1/links.html"));
    host->Hide();
    EXPECT_FALSE(HasVisibleStyle(host->Window()));
    if (parentGoesFirst) {
      DestroyWindow(parent);
      host.reset();
    } else {
      host.reset();
      EXPECT_EQ(ChildCount(parent), 0);
      DestroyWindow(parent);
    }
  }
}

// Needs the system's browser engine: runs on Windows, skips under the tests' Wine.
TEST(BrowserHost, BrowserAsksTheSiteForThePage) {
  if (!HtmlEngineLoads()) GTEST_SKIP() << "no HTML engine here (Wine with mshtml switched off)";
  test::LoopbackHttpServer site(kLinksPage);
  HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  auto host = BrowserHost::Create(parent, {0, 0, 300, 200});
  ASSERT_TRUE(host);
  EXPECT_EQ(GetParent(host->Window()), parent);
  ASSERT_TRUE(host->Navigate(ProductPageUrl(site.Host())));
  EXPECT_TRUE(test::PumpUntil([&] { return !site.Requests().empty(); }, 10s));
  ASSERT_FALSE(site.Requests().empty());
  EXPECT_TRUE(site.Requests()[0].starts_with("GET /links.html HTTP/1.1\r\n"));
  host.reset();
  EXPECT_EQ(ChildCount(parent), 0);
  DestroyWindow(parent);
}

TEST_F(ProductsPageTest, TheBrowserOrElseTheLinkListTakesThePlace) {
  test::LoopbackHttpServer site(kLinksPage);
  page.Navigate(site.Host(), area);
  HWND shown;
  if (HtmlEngineLoads()) {
    ASSERT_TRUE(page.Browser());
    shown = page.Browser()->Window();
    EXPECT_FALSE(HasVisibleStyle(dialog.Item(IDC_BROWSER)));
  } else {
    EXPECT_EQ(page.Browser(), nullptr);
    ASSERT_TRUE(test::PumpUntil([&] { return !page.Links().empty(); }, 10s));
    EXPECT_EQ(page.Links()[0].address, "http://" + site.Host() + "/tools.html");
    shown = dialog.Item(IDC_BROWSER);
  }
  EXPECT_TRUE(HasVisibleStyle(shown));
  RECT placed{};
  GetWindowRect(shown, &placed);
  MapWindowPoints(nullptr, dialog.Handle(), reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_TRUE(EqualRect(&placed, &area));
  page.Hide();
  EXPECT_FALSE(HasVisibleStyle(shown));
}

// Quitting waits for a fetch under way, and its late answer is never applied.
TEST_F(ProductsPageTest, StoppingTheWorkersWaitsForTheFetchAndDropsItsAnswer) {
  if (HtmlEngineLoads()) GTEST_SKIP() << "the page shows in the browser here; nothing is fetched on a worker";
  test::LoopbackHttpServer site(kLinksPage);
  site.SetDelay(1500ms);
  page.Navigate(site.Host(), area);
  EXPECT_EQ(page.FetchesRunning(), 1);
  ASSERT_TRUE(test::PumpUntil([&] { return !site.Requests().empty(); }, 5s));
  EXPECT_TRUE(page.Stop());
  EXPECT_EQ(page.FetchesRunning(), 0);
  test::PumpFor(300ms);
  EXPECT_TRUE(page.Links().empty());
  EXPECT_EQ(MessageText(), "Loading the product page from " + site.Host() + "...");
  page.Navigate(site.Host(), area);  // nothing starts after a stop
  EXPECT_EQ(page.FetchesRunning(), 0);
}

}  // namespace
}  // namespace tidewell
