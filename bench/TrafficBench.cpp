// The traffic watcher's costs:
//  - microseconds per read of each counter source (the performance data holds
//    no objects under Wine, so its reader is also timed on a synthetic block);
//  - source reads per sampling tick as built (one for all graphs) against one
//    per graph, with the main window's three hidden graphs and the watcher's
//    three (target: at least 5 times fewer), and reads while hidden;
//  - drawing one 300 x 100 frame (target: 0.5 ms or less).

#include <windows.h>

#include <array>
#include <cstdio>

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
  if (found == 0) std::printf("(no instances parsed)\n");
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
  Report("reads per second while hidden", factory.opened ? static_cast<double>(factory.opened->ReadCount()) / 2 : 0,
         "reads/s", 0);

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

}  // namespace

int main() {
  SourceReads();
  ReadsPerTick();
  DrawFrame();
  return 0;
}
