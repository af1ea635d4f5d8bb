// The traffic watcher's costs:
//  - microseconds per read of each counter source (the performance data holds
//    no objects under Wine, so its reader is also timed on a synthetic block);
//  - source reads per sampling tick as built (one for all graphs) against one
//    per graph, with the main window's three hidden graphs and the watcher's
//    three (target: at least 5 times fewer), and reads while hidden;
//  - drawing one 300 x 100 frame (target: 0.5 ms or less);
//  - with "--soak SECONDS": the watcher shown and sampling for that long, with
//    its GDI and USER object counts each minute (target: flat) and its CPU
//    share (target: under 3 % of one core).

#include <windows.h>

#include <winternl.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/BenchReport.h"
#include "resources/resource.h"
#include "tests/tidewell/traffic/PerfBlockBuilder.h"
#include "tidewell/traffic/CounterSource.h"
#include "tidewell/traffic/NetWatchDialog.h"
#include "tidewell/traffic/PerfDataReader.h"
#include "tidewell/traffic/TrafficGraph.h"

using namespace tidewell;
using bench::MeasureSeconds;
using bench::Report;

namespace {

void PumpFor(DWORD milliseconds) {
  ULONGLONG end = GetTickCount64() + milliseconds;
  MSG message;
  while (GetTickCount64() < end) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    Sleep(5);
  }
}

void SourceReads() {
  for (auto kind : {CounterSourceKind::PerformanceData, CounterSourceKind::InterfaceTable2,
                    CounterSourceKind::InterfaceTable}) {
    std::string name = std::string("read: ") + CounterSourceName(kind);
    auto source = OpenCounterSource(kind);
    if (!source) {
      std::printf("%-40s\tunavailable here\n", name.c_str());
      continue;
    }
    constexpr int kReads = 500;
    double seconds = MeasureSeconds([&] {
      for (int i = 0; i < kReads; ++i) source->Read();
    });
    Report(name, seconds * 1e6 / kReads, "us/read", 1000);
  }

  test::SyntheticObject object;
  object.counters = {{520, 4}, {264, 8}, {506, 8}, {388, 8}};
  for (int i = 0; i < 64; ++i)
    object.instances.push_back({u"Network adapter " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)),
                                {1000000000, 1, 2, 3}});
  auto block = test::PerfBlockBuilder().Build({object});
  constexpr std::array<uint32_t, 4> kWanted = {264, 506, 388, 520};
  constexpr int kParses = 20000;
  size_t found = 0;
  double seconds = MeasureSeconds([&] {
    for (int i = 0; i < kParses; ++i) found += ReadPerfObject(block, 510, kWanted)->size();
  });
  Report("parse: performance block, 64 interfaces", seconds * 1e6 / kParses, "us/read", 1000);
  bench::SameCount("interfaces parsed", static_cast<long long>(found), 64ll * kParses);
}

// Counts the reads of whatever source the watcher opens.
struct CountingFactory {
  CounterSource* opened = nullptr;
  CounterSourceFactory Make() {
    return [this] {
      auto source = OpenBestCounterSource();
      opened = source.get();
      return source;
    };
  }
};

void ReadsPerTick() {
  HWND host = CreateWindowExA(0, "Static", "host", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  for (int id : {IDC_GRAPH_TOTAL, IDC_GRAPH_INCOMING, IDC_GRAPH_OUTGOING})
    CreateWindowExA(0, "Static", "", WS_CHILD | SS_BLACKFRAME, 0, 0, 15, 8, host,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  CountingFactory factory;
  auto watch = TrafficWatch::Create(host, factory.Make());

  PumpFor(2000);  // hidden: nothing may be read
  const uint64_t hiddenReads = factory.opened ? factory.opened->ReadCount() : 0;
  Report("reads per second while hidden", static_cast<double>(hiddenReads) / 2, "reads/s", 0);
  bench::SameCount("reads while hidden", static_cast<long long>(hiddenReads), 0);

  watch->Show();
  PumpFor(100);
  if (!factory.opened) {
    std::printf("no counter source could be opened\n");
    DestroyWindow(host);
    return;
  }
  constexpr int kTicks = 100;
  uint64_t before = factory.opened->ReadCount();
  for (int tick = 0; tick < kTicks; ++tick) watch->Dialog().SampleNow();
  double asBuilt = static_cast<double>(factory.opened->ReadCount() - before) / kTicks;
  const double perGraph = 6;  // three graphs in the watcher, three hidden on the main window
  Report("source reads per tick, one per graph", perGraph, "reads/tick", perGraph);
  Report("source reads per tick, as built", asBuilt, "reads/tick", perGraph);
  std::printf("%-40s\t%12.1f\tx fewer (target 5)\n", "reads saved", asBuilt > 0 ? perGraph / asBuilt : 0);
  DestroyWindow(host);
}

void DrawFrame() {
  TrafficGraphState state(TrafficType::Total);
  state.Resize(300);
  uint64_t counter = 0;
  CounterSnapshot reading;
  reading.valid = true;
  reading.rows.resize(1);
  reading.rows[0].present = true;
  state.SelectInterface(0, &reading);
  for (int i = 0; i < 160; ++i) {
    counter += static_cast<uint64_t>((i * 7919) % 100000);
    reading.rows[0].total = counter;
    reading.timeMs += 1000;
    state.AddSample(reading);
  }
  GraphPaintKit kit;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 300, 100);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(memory, bitmap);
  constexpr int kFrames = 2000;
  RECT rect{0, 0, 300, 100};
  double seconds = MeasureSeconds([&] {
    for (int i = 0; i < kFrames; ++i) {
      state.AdvanceGrid();
      DrawTrafficGraph(memory, rect, state, kit);
    }
    GdiFlush();
  });
  Report("draw one 300x100 frame", seconds * 1e3 / kFrames, "ms/frame", 0.5);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
}

// GetGuiResources answers 0 under Wine. There the GDI handle table the
// process environment block points at is the process's own, and a live entry
// has its kernel object set; windows stand in for the USER objects.
struct GdiTableEntry {
  uint64_t object;
  uint32_t owner;
  uint16_t unique;
  uint8_t extType;
  uint8_t generation;
  uint64_t user;
};

size_t GdiObjects() {
  if (DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return count;
#ifdef _WIN64
  PROCESS_BASIC_INFORMATION basic{};
  if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
    return 0;
  auto peb = reinterpret_cast<const uint8_t*>(basic.PebBaseAddress);
  auto table = *reinterpret_cast<GdiTableEntry* const*>(peb + 0xF8);
  if (!table) return 0;
  size_t live = 0;
  for (size_t i = 0; i < 0x10000; ++i) live += table[i].object != 0 && (table[i].unique & 0xFF) != 0;
  return live;
#else
  return 0;
#endif
}

BOOL CALLBACK CountWindow(HWND window, LPARAM counter) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId()) return TRUE;
  ++*reinterpret_cast<size_t*>(counter);
  EnumChildWindows(window, CountWindow, counter);
  return TRUE;
}

size_t UserObjects() {
  if (DWORD count = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)) return count;
  size_t windows = 0;
  EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto seconds = [](FILETIME time) {
    return static_cast<double>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

// Waits for messages, as the program's own loop does, so the idle figure is
// the watcher's and not a polling loop's.
void WaitFor(DWORD milliseconds) {
  ULONGLONG end = GetTickCount64() + milliseconds;
  MSG message;
  for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

void Soak(int seconds) {
  HWND host = CreateWindowExA(0, "Static", "host", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  for (int id : {IDC_GRAPH_TOTAL, IDC_GRAPH_INCOMING, IDC_GRAPH_OUTGOING})
    CreateWindowExA(0, "Static", "", WS_CHILD | SS_BLACKFRAME, 0, 0, 15, 8, host,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  auto watch = TrafficWatch::Create(host);
  watch->Show();
  // Warm-up: the source opened, the first samples made, and the pointer over
  // the window and away once, so the whole view has been drawn.
  RECT frame{};
  GetWindowRect(watch->Dialog().Handle(), &frame);
  SetCursorPos((frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2);
  WaitFor(3000);
  SetCursorPos(0, 0);
  WaitFor(3000);
  // and once inactive: its frame then takes the system's inactive colours,
  // whose brushes Wine makes on first use.
  HWND other = CreateWindowExA(0, "Static", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                               nullptr, nullptr, nullptr);
  SetForegroundWindow(other);
  WaitFor(2000);
  DestroyWindow(other);
  SetForegroundWindow(watch->Dialog().Handle());
  WaitFor(2000);

  size_t gdiStart = GdiObjects(), userStart = UserObjects();
  size_t gdiHigh = gdiStart, userHigh = userStart;
  double cpuStart = CpuSeconds();
  ULONGLONG start = GetTickCount64();
  std::printf("%-40s\t%6s\t%6s\n", "soak seconds", "GDI", "USER");
  std::printf("%-40d\t%6zu\t%6zu\n", 0, gdiStart, userStart);
  for (int elapsed = 0; elapsed < seconds; elapsed += 30) {
    // The pointer crosses the window now and then: the whole view and the
    // frame region take turns, as they do for a user.
    if ((elapsed / 30) % 2 == 0) SetCursorPos((frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2);
    else SetCursorPos(0, 0);
    WaitFor(static_cast<DWORD>(std::min(30, seconds - elapsed)) * 1000);
    size_t gdi = GdiObjects(), user = UserObjects();
    gdiHigh = std::max(gdiHigh, gdi);
    userHigh = std::max(userHigh, user);
    std::printf("%-40d\t%6zu\t%6zu\n", static_cast<int>((GetTickCount64() - start) / 1000), gdi, user);
    std::fflush(stdout);
  }
  double wall = static_cast<double>(GetTickCount64() - start) / 1000;
  SetCursorPos(0, 0);
  Report("soak: CPU share of one core", 100 * (CpuSeconds() - cpuStart) / wall, "%", 3);
  Report("soak: GDI objects gained (end)", static_cast<double>(GdiObjects()) - gdiStart, "objects", 0);
  Report("soak: GDI objects gained (highest)", static_cast<double>(gdiHigh - gdiStart), "objects", 0);
  Report("soak: USER objects gained (end)", static_cast<double>(UserObjects()) - userStart, "objects", 0);
  Report("soak: USER objects gained (highest)", static_cast<double>(userHigh - userStart), "objects", 0);
  watch.reset();
  DestroyWindow(host);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--soak") == 0) {
    Soak(std::atoi(argv[2]));
    return 0;
  }
  SourceReads();
  ReadsPerTick();
  DrawFrame();
  return bench::ExitStatus();
}
