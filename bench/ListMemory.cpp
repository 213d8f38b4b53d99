// Where a full list's memory goes: fills a list with made-up rows, in a fresh process, and
// prints the peak working set and what the process heap (the list control's) and the C
// runtime's heap (the program's) hold, in use and free, by walking them.
// Usage: velloran_list_memory plain|window ROWS
//   plain:  a report list view that keeps its texts itself, filled with bare inserts of
//           made-up rows;
//   window: the main window over a registry seeded with ROWS registrations (left seeded).
#include <windows.h>

#include <commctrl.h>
#include <malloc.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/Application.h"
#include "bench/BenchRegistry.h"
#include "bench/PlainList.h"
#include "ui/MainU.h"

namespace {

struct HeapUse {
  double committed = 0, busy = 0, free = 0;  // MiB
};

HeapUse Walk(HANDLE heap) {
  HeapUse use;
  PROCESS_HEAP_ENTRY entry{};
  HeapLock(heap);
  while (HeapWalk(heap, &entry)) {
    if (entry.wFlags & PROCESS_HEAP_REGION) {
      use.committed += entry.Region.dwCommittedSize;
    } else if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
      use.busy += entry.cbData;
    } else if (!(entry.wFlags & PROCESS_HEAP_UNCOMMITTED_RANGE)) {
      use.free += entry.cbData;
    }
  }
  HeapUnlock(heap);
  const double mib = 1024.0 * 1024.0;
  return {use.committed / mib, use.busy / mib, use.free / mib};
}

std::string Row(int n) { return "Helper " + std::to_string(n); }
std::string Server(int n) {
  return "C:\\Program Files\\Helper " + std::to_string(n) + "\\helper.dll";
}

void FillPlain(int rows) {
  const HWND list = CreatePlainListWindow();
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  for (int n = 0; n < rows; ++n) {
    const std::string caption = Row(n), guid = BenchGuid(n), server = Server(n);
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = n;
    item.pszText = const_cast<char*>(caption.c_str());
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    item.iSubItem = 1;
    item.pszText = const_cast<char*>(guid.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, n, reinterpret_cast<LPARAM>(&item));
    item.iSubItem = 2;
    item.pszText = const_cast<char*>(server.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, n, reinterpret_cast<LPARAM>(&item));
  }
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// The main window as the program opens it: its show handler lists the seeded registrations.
void FillWindow(int rows) {
  BenchRegistry seed;
  seed.Seed(rows);
  Application.CreateForm(MainForm);
  Application.ShowMainForm(SW_SHOWNORMAL);
  UpdateWindow(MainForm->lvBHO->Handle());
}

}  // namespace

int main(int argc, char** argv) {
  const bool window = argc == 3 && std::strcmp(argv[1], "window") == 0;
  if (argc != 3 || (!window && std::strcmp(argv[1], "plain") != 0)) {
    std::fprintf(stderr, "usage: %s plain|window ROWS\n", argv[0]);
    return 2;
  }
  const int rows = std::atoi(argv[2]);
  if (window) {
    FillWindow(rows);
  } else {
    FillPlain(rows);
  }
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);

  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  const HeapUse process = Walk(GetProcessHeap());
  const HeapUse runtime = Walk(reinterpret_cast<HANDLE>(_get_heap_handle()));
  std::printf(
      "list_memory %s rows=%d peak_working_set_mib=%.2f process_heap_committed_mib=%.2f"
      " process_heap_busy_mib=%.2f process_heap_free_mib=%.2f runtime_heap_committed_mib=%.2f"
      " runtime_heap_busy_mib=%.2f runtime_heap_free_mib=%.2f\n",
      argv[1], rows, double(memory.PeakWorkingSetSize) / (1024.0 * 1024.0), process.committed,
      process.busy, process.free, runtime.committed, runtime.busy, runtime.free);
  if (window) Application.DestroyForms();
  return 0;
}
