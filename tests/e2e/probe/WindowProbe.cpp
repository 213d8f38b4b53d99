// Reads what the program's window shows, from another process, so that the end-to-end scripts can
// check the rows a user sees. The list view's text messages carry pointers, and Windows does not
// marshal them between processes, so the structures and text buffers live in memory allocated
// inside the program's own process.
//
// Usage: windowprobe CAPTION COMMAND [ARG]
//   rect        the window's outer rectangle: left top width height
//   owner       the owner window's caption, then its width and height
//   columns     one line per column: heading TAB width
//   rows        one line per row: caption TAB sub-items (as many fields as columns)
//   selection   the indices of the selected rows, one per line
//   rowpoint N  a screen point inside row N's first column: x y
//   close       closes the window as its close button does, and returns at once
// The window is the top-level window whose caption matches CAPTION exactly, case included (the
// program's zero-size application window may carry the same text in other case).
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Search {
  const char* caption;
  HWND found;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM parameter) {
  Search* search = reinterpret_cast<Search*>(parameter);
  char text[256];
  GetWindowTextA(window, text, sizeof text);
  if (std::strcmp(text, search->caption) == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// The program superclasses the list view under a class name of its own, so the list is
// recognised by its answer to a list-view message rather than by its class name.
BOOL CALLBACK MatchListView(HWND child, LPARAM parameter) {
  if (SendMessageA(child, LVM_GETHEADER, 0, 0) == 0) return TRUE;
  *reinterpret_cast<HWND*>(parameter) = child;
  return FALSE;
}

// Memory in the program's address space, for the pointers that list-view messages carry.
class RemoteBuffer {
 public:
  RemoteBuffer(HANDLE process, SIZE_T size)
      : process_(process),
        address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {}
  ~RemoteBuffer() {
    if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  bool Valid() const { return address_ != nullptr; }
  char* Address() const { return static_cast<char*>(address_); }
  bool Write(SIZE_T offset, const void* data, SIZE_T size) const {
    return WriteProcessMemory(process_, Address() + offset, data, size, nullptr) != FALSE;
  }
  bool Read(SIZE_T offset, void* data, SIZE_T size) const {
    return ReadProcessMemory(process_, Address() + offset, data, size, nullptr) != FALSE;
  }

 private:
  HANDLE process_;
  void* address_;
};

class ProcessHandle {
 public:
  explicit ProcessHandle(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    handle_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, id);
  }
  ~ProcessHandle() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
};

constexpr SIZE_T kTextCapacity = 1024;
// The structure first, then the text buffer it points to.
constexpr SIZE_T kTextOffset = 256;

int Fail(const char* what) {
  std::fprintf(stderr, "windowprobe: %s (error %lu)\n", what, GetLastError());
  return 2;
}

bool ItemText(const RemoteBuffer& remote, HWND list, int row, int column, std::string& text) {
  LVITEMA item = {};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = column;
  item.pszText = remote.Address() + kTextOffset;
  item.cchTextMax = kTextCapacity;
  const char empty = '\0';
  if (!remote.Write(0, &item, sizeof item) || !remote.Write(kTextOffset, &empty, 1)) return false;
  SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(remote.Address()));
  char buffer[kTextCapacity];
  if (!remote.Read(kTextOffset, buffer, sizeof buffer)) return false;
  buffer[kTextCapacity - 1] = '\0';
  text = buffer;
  return true;
}

int ColumnCount(HWND list) {
  const HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  return header == nullptr ? 0 : static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

int PrintColumns(const RemoteBuffer& remote, HWND list) {
  for (int column = 0; column < ColumnCount(list); ++column) {
    LVCOLUMNA heading = {};
    heading.mask = LVCF_TEXT | LVCF_WIDTH;
    heading.pszText = remote.Address() + kTextOffset;
    heading.cchTextMax = kTextCapacity;
    if (!remote.Write(0, &heading, sizeof heading)) return Fail("cannot write the column query");
    if (!SendMessageA(list, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(remote.Address()))) {
      return Fail("LVM_GETCOLUMN failed");
    }
    char buffer[kTextCapacity];
    if (!remote.Read(0, &heading, sizeof heading) ||
        !remote.Read(kTextOffset, buffer, sizeof buffer))
      return Fail("cannot read the column");
    buffer[kTextCapacity - 1] = '\0';
    std::printf("%s\t%d\n", buffer, heading.cx);
  }
  return 0;
}

int PrintRows(const RemoteBuffer& remote, HWND list) {
  const int columns = ColumnCount(list);
  const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row) {
    std::string line;
    for (int column = 0; column < columns; ++column) {
      std::string text;
      if (!ItemText(remote, list, row, column, text)) return Fail("cannot read an item's text");
      if (column > 0) line += '\t';
      line += text;
    }
    std::printf("%s\n", line.c_str());
  }
  return 0;
}

int PrintRowPoint(const RemoteBuffer& remote, HWND list, int row) {
  RECT bounds = {};
  bounds.left = LVIR_LABEL;
  if (!remote.Write(0, &bounds, sizeof bounds)) return Fail("cannot write the rectangle query");
  if (!SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(remote.Address())))
    return Fail("LVM_GETITEMRECT failed");
  if (!remote.Read(0, &bounds, sizeof bounds)) return Fail("cannot read the rectangle");
  POINT point = {bounds.left + 10, (bounds.top + bounds.bottom) / 2};
  MapWindowPoints(list, nullptr, &point, 1);
  std::printf("%ld %ld\n", point.x, point.y);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: windowprobe CAPTION rect|owner|columns|rows|selection|rowpoint N|close\n");
    return 2;
  }
  Search search = {argv[1], nullptr};
  EnumWindows(MatchCaption, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) {
    std::fprintf(stderr, "windowprobe: no top-level window captioned \"%s\"\n", argv[1]);
    return 1;
  }
  const HWND window = search.found;
  const std::string command = argv[2];

  // Aimed at this window, not at whichever window is active: another program's box may be.
  if (command == "close") {
    return PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0) ? 0 : Fail("cannot post the close");
  }
  if (command == "rect" || command == "owner") {
    const HWND subject = command == "rect" ? window : GetWindow(window, GW_OWNER);
    if (subject == nullptr) return Fail("the window has no owner");
    RECT outer;
    GetWindowRect(subject, &outer);
    if (command == "rect") {
      std::printf("%ld %ld %ld %ld\n", outer.left, outer.top, outer.right - outer.left,
                  outer.bottom - outer.top);
    } else {
      char caption[256];
      GetWindowTextA(subject, caption, sizeof caption);
      std::printf("%s\t%ld %ld\n", caption, outer.right - outer.left, outer.bottom - outer.top);
    }
    return 0;
  }

  HWND list = nullptr;
  EnumChildWindows(window, MatchListView, reinterpret_cast<LPARAM>(&list));
  if (list == nullptr) return Fail("the window has no list view");
  if (command == "selection") {
    int row = -1;
    while ((row = static_cast<int>(
                SendMessageA(list, LVM_GETNEXTITEM, row, MAKELPARAM(LVNI_SELECTED, 0)))) >= 0) {
      std::printf("%d\n", row);
    }
    return 0;
  }

  ProcessHandle process(window);
  if (process.Get() == nullptr) return Fail("cannot open the window's process");
  RemoteBuffer remote(process.Get(), kTextOffset + kTextCapacity);
  if (!remote.Valid()) return Fail("cannot allocate memory in the window's process");
  if (command == "columns") return PrintColumns(remote, list);
  if (command == "rows") return PrintRows(remote, list);
  if (command == "rowpoint" && argc > 3) return PrintRowPoint(remote, list, std::atoi(argv[3]));
  std::fprintf(stderr, "windowprobe: unknown command \"%s\"\n", command.c_str());
  return 2;
}
