// winsock2.h must come before windows.h.
#include <winsock2.h>

#include "tidewell/traffic/NetWatchDialog.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "resources/resource.h"
#include "tests/support/MessagePump.h"

namespace tidewell {
namespace {

using namespace std::chrono_literals;

// A source whose counters grow by a fixed step at every reading.
class SteadySource final : public CounterSource {
 public:
  explicit SteadySource(std::vector<std::string> names, uint64_t step = 10240) : step_(step) {
    names_ = std::move(names);
  }
  CounterSourceKind Kind() const override { return CounterSourceKind::InterfaceTable2; }

 protected:
  bool Query(std::vector<InterfaceCounters>& rows) override {
    counter_ += step_;
    for (auto& row : rows) {
      row.received = counter_;
      row.sent = counter_ / 2;
      row.total = row.received + row.sent;
      row.present = true;
    }
    return true;
  }
  int CounterBits() const override { return 64; }

 private:
  uint64_t step_;
  uint64_t counter_ = 0;
};

// The main window's hidden graphs, as static controls on a plain window.
class HostWindow {
 public:
  HostWindow() {
    window_ = CreateWindowExA(0, "Static", "host", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    for (int id : {IDC_GRAPH_TOTAL, IDC_GRAPH_INCOMING, IDC_GRAPH_OUTGOING})
      CreateWindowExA(0, "Static", "", WS_CHILD | SS_BLACKFRAME, 0, 0, 15, 8, window_,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  }
  ~HostWindow() { DestroyWindow(window_); }
  HWND Get() const { return window_; }

 private:
  HWND window_;
};

struct Opened {
  int count = 0;
  SteadySource* source = nullptr;
};

CounterSourceFactory SteadyFactory(Opened& opened, std::vector<std::string> names = {"lo", "eth0"}) {
  return [&opened, names] {
    ++opened.count;
    auto source = std::make_unique<SteadySource>(names);
    opened.source = source.get();
    return source;
  };
}

std::string Text(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

bool AllZero(const TrafficGraph& graph) {
  const auto& history = graph.State().History();
  return std::all_of(history.begin(), history.end(), [](const GraphSample& s) { return s.value == 0; });
}

TEST(NetWatch, IsCreatedHiddenAtTheDesktopsLowerRightWithItsTexts) {
  HostWindow host;
  Opened opened;
  auto watch = TrafficWatch::Create(host.Get(), SteadyFactory(opened));
  HWND window = watch->Dialog().Handle();
  ASSERT_TRUE(window);
  EXPECT_FALSE(IsWindowVisible(window));
  RECT rect{}, desktop{};
  GetWindowRect(window, &rect);
  GetWindowRect(GetDesktopWindow(), &desktop);
  EXPECT_EQ(rect.right, desktop.right + 5);
  EXPECT_EQ(rect.bottom, desktop.bottom - 30);
  EXPECT_EQ(Text(window), "Tidewell - Net traffic watcher");
  EXPECT_EQ(Text(GetDlgItem(window, IDC_NET_INCOMING_LABEL)), "Incoming");
  EXPECT_EQ(Text(GetDlgItem(window, IDC_NET_OUTGOING_LABEL)), "Outgoing");
  EXPECT_EQ(Text(GetDlgItem(window, IDC_NET_TOTAL_LABEL)), "Total");
  EXPECT_EQ(Text(GetDlgItem(window, IDC_NET_EXPLANATION)),
            "Tidewell network traffic monitor shows incoming, outgoing and total traffic on your network "
            "interface(s). It displays current and maximum values for the network traffic. Right click on the "
            "graphics for more options.");
}

TEST(NetWatch, NothingSamplesOrPaintsWhileHidden) {
  HostWindow host;
  Opened opened;
  auto watch = TrafficWatch::Create(host.Get(), SteadyFactory(opened));
  test::PumpFor(1500ms);
  EXPECT_EQ(opened.count, 0) << "not even enumerated before the window is first shown";
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(watch->HiddenGraph(i).PaintCount(), 0);
  EXPECT_EQ(watch->Dialog().Graph(IDC_NET_GRAPH_TOTAL).PaintCount(), 0);

  watch->Show();
  ASSERT_TRUE(test::PumpUntil([&] { return opened.source && opened.source->ReadCount() >= 2; }, 3s));
  watch->Dialog().Hide();
  test::PumpFor(100ms);
  uint64_t reads = opened.source->ReadCount();
  int paints = watch->Dialog().Graph(IDC_NET_GRAPH_TOTAL).PaintCount();
  test::PumpFor(1500ms);
  EXPECT_EQ(opened.source->ReadCount(), reads) << "hiding stops the sampling";
  EXPECT_EQ(watch->Dialog().Graph(IDC_NET_GRAPH_TOTAL).PaintCount(), paints);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(watch->HiddenGraph(i).PaintCount(), 0) << "the main window's graphs";
  EXPECT_EQ(opened.count, 1);
}

TEST(NetWatch, OneReadingPerTickFeedsAllThreeGraphs) {
  HostWindow host;
  Opened opened;
  auto watch = TrafficWatch::Create(host.Get(), SteadyFactory(opened));
  auto& dialog = watch->Dialog();
  dialog.Show();
  ASSERT_TRUE(opened.source);
  uint64_t before = opened.source->ReadCount();
  for (int tick = 0; tick < 5; ++tick) dialog.SampleNow();
  EXPECT_EQ(opened.source->ReadCount(), before + 5);
  for (int id : {IDC_NET_GRAPH_INCOMING, IDC_NET_GRAPH_OUTGOING, IDC_NET_GRAPH_TOTAL})
    EXPECT_GT(dialog.Graph(id).State().Current(), 0) << id;
  // The timer does the same by itself within two seconds of showing.
  ASSERT_TRUE(test::PumpUntil([&] { return opened.source->ReadCount() >= before + 6; }, 2500ms));
  EXPECT_GT(dialog.Graph(IDC_NET_GRAPH_TOTAL).PaintCount(), 0);
}

TEST(NetWatch, ChoosingAnInterfaceResetsThatGraphOnly) {
  HostWindow host;
  Opened opened;
  auto watch = TrafficWatch::Create(host.Get(), SteadyFactory(opened));
  auto& dialog = watch->Dialog();
  dialog.Show();
  for (int tick = 0; tick < 3; ++tick) dialog.SampleNow();
  auto& incoming = dialog.Graph(IDC_NET_GRAPH_INCOMING);
  incoming.OnMenuChoice(kMenuFirstInterface + 1);
  EXPECT_EQ(incoming.State().Interface(), 1);
  EXPECT_TRUE(AllZero(incoming));
  EXPECT_EQ(incoming.State().Maximum(), 0);
  EXPECT_FALSE(AllZero(dialog.Graph(IDC_NET_GRAPH_OUTGOING)));
  incoming.OnMenuChoice(kMenuFirstInterface + 5);  // beyond the list: nothing
  EXPECT_EQ(incoming.State().Interface(), 1);
  incoming.OnMenuChoice(kMenuToggleScaling);
  EXPECT_TRUE(incoming.State().LocalScaling());
  dialog.SampleNow();
  EXPECT_GT(incoming.State().Current(), 0) << "the first sample after choosing is already a rate";
}

TEST(NetWatch, ShowsOnlyItsFrameUntilThePointerComesOver) {
  HostWindow host;
  Opened opened;
  auto watch = TrafficWatch::Create(host.Get(), SteadyFactory(opened));
  auto& dialog = watch->Dialog();
  dialog.Show();
  SetCursorPos(0, 0);
  dialog.UpdateRegion();
  EXPECT_FALSE(dialog.WholeWindowShown());
  UniqueGdi<HRGN> region(CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(GetWindowRgn(dialog.Handle(), region.Get()), ERROR);
  RECT box{}, frame{}, window{};
  GetRgnBox(region.Get(), &box);
  GetWindowRect(dialog.Item(IDC_NET_FRAME), &frame);
  GetWindowRect(dialog.Handle(), &window);
  OffsetRect(&frame, -window.left, -window.top);
  EXPECT_TRUE(EqualRect(&box, &frame));

  SendMessageA(dialog.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(dialog.Handle()), HTCLIENT);
  EXPECT_TRUE(dialog.WholeWindowShown());
  EXPECT_EQ(GetWindowRgn(dialog.Handle(), region.Get()), ERROR) << "no region: the whole window";
  dialog.UpdateRegion();  // the pointer was there within the last second
  EXPECT_TRUE(dialog.WholeWindowShown());
  dialog.UpdateRegion();  // and has not come back since
  EXPECT_FALSE(dialog.WholeWindowShown());
}

// Moves `length` bytes from one loopback socket to another; returns what arrived.
size_t TransferOverLoopback(size_t length) {
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int size = sizeof address;
  bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(listener, 1);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
  SOCKET sender = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  connect(sender, reinterpret_cast<sockaddr*>(&address), sizeof address);
  SOCKET receiver = accept(listener, nullptr, nullptr);
  std::vector<char> chunk(32 * 1024, 'x');
  size_t received = 0;
  // Alternating in one thread: each chunk fits the socket buffers.
  for (size_t sent = 0; sent < length; sent += chunk.size()) {
    int out = send(sender, chunk.data(), static_cast<int>(chunk.size()), 0);
    if (out <= 0) break;
    for (int left = out; left > 0;) {
      int in = recv(receiver, chunk.data(), left, 0);
      if (in <= 0) break;
      left -= in;
      received += static_cast<size_t>(in);
    }
  }
  closesocket(receiver);
  closesocket(sender);
  closesocket(listener);
  return received;
}

TEST(NetWatchLoopback, ALoopbackTransferShowsAsIncomingAndTotalTraffic) {
  WSADATA data{};
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
  auto probe = OpenBestCounterSource();
  ASSERT_TRUE(probe);
  const auto& names = probe->Names();
  auto loopback = std::find_if(names.begin(), names.end(), [](const std::string& name) {
    return name == "lo" || name.find("Loopback") != std::string::npos;
  });
  if (loopback == names.end()) GTEST_SKIP() << "no loopback interface listed";
  const int index = static_cast<int>(loopback - names.begin());

  HostWindow host;
  auto watch = TrafficWatch::Create(host.Get());
  auto& dialog = watch->Dialog();
  dialog.Show();
  ASSERT_TRUE(dialog.Source());
  for (int id : {IDC_NET_GRAPH_INCOMING, IDC_NET_GRAPH_OUTGOING, IDC_NET_GRAPH_TOTAL})
    dialog.Graph(id).OnMenuChoice(kMenuFirstInterface + index);

  const uint64_t start = GetTickCount64();
  size_t moved = TransferOverLoopback(8 * 1024 * 1024);
  ASSERT_GE(moved, 8u * 1024 * 1024);
  // Without pumping, so that the sampling timer does not take the reading first.
  Sleep(static_cast<DWORD>(std::max<int64_t>(0, 1000 - static_cast<int64_t>(GetTickCount64() - start))));
  dialog.SampleNow();
  const double seconds = static_cast<double>(GetTickCount64() - start) / 1000;
  const double incoming = dialog.Graph(IDC_NET_GRAPH_INCOMING).State().Current() * seconds;
  const double total = dialog.Graph(IDC_NET_GRAPH_TOTAL).State().Current() * seconds;
  // Headers and other loopback users add a little; timing rounds a little.
  EXPECT_GT(incoming, moved * 0.8);
  EXPECT_LT(incoming, moved * 1.5);
  EXPECT_GT(total, incoming * 1.6) << "loopback counts every byte in and out";
  EXPECT_GT(dialog.Graph(IDC_NET_GRAPH_TOTAL).State().Maximum(), 0);
  WSACleanup();
}

}  // namespace
}  // namespace tidewell
