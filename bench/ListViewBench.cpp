// The listing into the main window's own list view, in process, against the floor: the
// registry calls no listing can avoid plus bare inserts into a plain report list view (which
// keeps its texts itself), with the list's redraw held off. Each round's repaint is part of
// its time.
#include <benchmark/benchmark.h>

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>

#include "app/Application.h"
#include "bench/Benchmarks.h"
#include "bench/FloorListing.h"
#include "bench/PlainList.h"
#include "catalogue/Listing.h"
#include "catalogue/Removal.h"
#include "ui/ListViewRows.h"
#include "ui/MainU.h"

namespace {

void Pump() {
  for (int round = 0; round < 3; ++round) Application.ProcessMessages();
}

// From the end, so that the control moves no later item's state up.
void Clear(TListView& list) {
  {
    TListViewUpdate update(list);
    while (list.ItemCount() > 0 && list.DeleteItem(list.ItemCount() - 1)) {
    }
  }
  Pump();
}

void Clear(HWND plainList) {
  SendMessageA(plainList, LVM_DELETEALLITEMS, 0, 0);
  Pump();
}

// The floor's list, beside the main window.
HWND FloorList() {
  static const HWND list = CreatePlainListWindow();
  return list;
}

void SetText(HWND list, int item, int subItem, const std::string& text) {
  LVITEMA request{};
  request.iSubItem = subItem;
  request.pszText = const_cast<char*>(text.c_str());
  SendMessageA(list, LVM_SETITEMTEXTA, item, reinterpret_cast<LPARAM>(&request));
}

// A row as the floor makes it: the caption with the insert, then the sub-item texts.
void InsertBareRow(HWND list, int item, const std::string& caption, const std::string& guid,
                   const std::string* server) {
  LVITEMA row{};
  row.mask = LVIF_TEXT;
  row.iItem = item;
  row.pszText = const_cast<char*>(caption.c_str());
  SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row));
  SetText(list, item, 1, guid);
  if (server != nullptr) SetText(list, item, 2, *server);
}

void Select(TListView& list, int item) {
  LVITEMA state{};
  state.stateMask = LVIS_SELECTED;
  state.state = LVIS_SELECTED;
  SendMessageA(list.Handle(), LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
}

// The listing as the window runs it, or, without `held`, without the list's redraw held: every
// new row repaints.
void WindowListing(benchmark::State& state, BenchRegistry& seed, bool held) {
  seed.Seed(int(state.range(0)));
  TListView& list = *MainForm->lvBHO;
  for (auto _ : state) {
    state.PauseTiming();
    Clear(list);
    state.ResumeTiming();
    if (held) {
      MainForm->FormShow(nullptr);
    } else {
      ListViewRows rows(list);
      ListRegistrations(*MainForm->registry, rows);
    }
    Pump();
  }
  if (list.ItemCount() != state.range(0)) state.SkipWithError("wrong row count");
}

void WindowFloor(benchmark::State& state, BenchRegistry& seed, bool sizeFirst) {
  seed.Seed(int(state.range(0)));
  const HWND handle = FloorList();
  for (auto _ : state) {
    state.PauseTiming();
    Clear(handle);
    state.ResumeTiming();
    SendMessageA(handle, WM_SETREDRAW, FALSE, 0);
    int item = 0;
    FloorListing(
        SystemRegistryFunctions(),
        [handle, &item](const std::string& guid, const std::string& name,
                        const std::string* server) {
          InsertBareRow(handle, item++, name, guid, server);
        },
        sizeFirst);
    SendMessageA(handle, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(handle, nullptr, nullptr,
                 RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    Pump();
  }
  if (SendMessageA(handle, LVM_GETITEMCOUNT, 0, 0) != state.range(0)) {
    state.SkipWithError("wrong row count");
  }
}

// The removal as the Remove command runs it, but confirmed with Yes by the benchmark and the
// tool's start recorded instead of made. `hold` false is the removal without its redraw guard.
void WindowRemoval(benchmark::State& state, BenchRegistry& seed, bool hold) {
  const int count = int(state.range(0));
  seed.Seed(count);
  TListView& list = *MainForm->lvBHO;
  std::vector<std::string> started;
  const auto yes = [](const std::string&, const std::string&, unsigned) { return kAnswerYes; };
  const auto record = [&started](const std::string& commandLine, int) {
    started.push_back(commandLine);
  };
  for (auto _ : state) {
    state.PauseTiming();
    for (int n = 0; n < count; n += kSelectEvery) seed.Register(n);
    Clear(list);
    MainForm->FormShow(nullptr);
    for (int row = 0; row < count; row += kSelectEvery) Select(list, row);
    Pump();
    started.clear();
    state.ResumeTiming();
    {
      ListViewRows rows(list);
      if (hold) {
        TListViewUpdate update(list);
        RemoveSelected(*MainForm->registry, rows, yes, record, RegistrationTool,
                       seed.Environment());
      } else {
        RemoveSelected(*MainForm->registry, rows, yes, record, RegistrationTool,
                       seed.Environment());
      }
    }
    Pump();
  }
  if (list.ItemCount() != count - count / kSelectEvery) state.SkipWithError("wrong rows left");
  if (int(started.size()) != count / kSelectEvery) state.SkipWithError("wrong tool starts");
  state.SetComplexityN(count);
}

// Where the list's share of the time goes: 10,000 made-up rows, redraw held, no registry.
// 0: the floor's bare inserts into the plain list (caption with the insert, then two sub-item
// texts); 1: the rows as the listing makes them, through ListViewRows into the main window's
// list (append, caption, two sub-items).
void ListProfile(benchmark::State& state) {
  TListView& list = *MainForm->lvBHO;
  const HWND plain = FloorList();
  const bool bare = state.range(0) == 0;
  const std::string caption = "Helper 1234", guid = BenchGuid(1234),
                    file = "C:\\Program Files\\Helper 1234\\helper.dll";
  for (auto _ : state) {
    state.PauseTiming();
    Clear(list);
    Clear(plain);
    state.ResumeTiming();
    if (bare) {
      SendMessageA(plain, WM_SETREDRAW, FALSE, 0);
      for (int item = 0; item < 10000; ++item) InsertBareRow(plain, item, caption, guid, &file);
      SendMessageA(plain, WM_SETREDRAW, TRUE, 0);
    } else {
      TListViewUpdate update(list);
      ListViewRows rows(list);
      for (int item = 0; item < 10000; ++item) {
        const int row = rows.Append();
        rows.SetCaption(row, caption);
        rows.AppendSubItem(row, guid);
        rows.AppendSubItem(row, file);
      }
    }
  }
}
}  // namespace

void RegisterListViewBenchmarks(BenchRegistry& seed, const std::vector<int>& sizes) {
  seed.Seed(0);
  Application.CreateForm(MainForm);
  Application.ShowMainForm(SW_SHOWNORMAL);
  Pump();

  for (int size : sizes) {
    benchmark::RegisterBenchmark("window_listing", WindowListing, std::ref(seed), true)
        ->Arg(size)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("window_floor", WindowFloor, std::ref(seed), false)
        ->Arg(size)
        ->Unit(benchmark::kMillisecond);
    if (size == 10000) {
      benchmark::RegisterBenchmark("window_floor_size_first", WindowFloor, std::ref(seed), true)
          ->Arg(size)
          ->Unit(benchmark::kMillisecond);
    }
    // Without the guard every new row repaints the list: larger sizes would take long and tell
    // nothing the smaller ones do not.
    if (size <= 1000) {
      benchmark::RegisterBenchmark("window_listing_redraw_on", WindowListing, std::ref(seed), false)
          ->Arg(size)
          ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::RegisterBenchmark("list_profile", ListProfile)
      ->DenseRange(0, 1)
      ->Unit(benchmark::kMillisecond);
  // Each round refills the list outside the timing, so one round per repetition.
  benchmark::RegisterBenchmark("window_removal", WindowRemoval, std::ref(seed), true)
      ->RangeMultiplier(10)
      ->Range(100, 10000)
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond)
      ->Complexity(benchmark::oN);
  benchmark::RegisterBenchmark("window_removal_redraw_on", WindowRemoval, std::ref(seed), false)
      ->RangeMultiplier(10)
      ->Range(100, 1000)
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
}
