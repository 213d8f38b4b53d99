#include "ui/ListView.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/Form.h"

namespace {

const char kWindowClass[] = "TListView";

// Vista's name for a prefix search; MinGW's headers for Windows 7 lack it.
#ifndef LVFI_SUBSTRING
#define LVFI_SUBSTRING 0x0004
#endif

// Registers the superclass once; returns the system control's own window procedure.
WNDPROC RegisterListViewClass() {
  static const WNDPROC original = [] {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (!GetClassInfoExA(nullptr, WC_LISTVIEWA, &windowClass)) {
      throw Exception("The list-view control is not available");
    }
    const WNDPROC systemProcedure = windowClass.lpfnWndProc;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    windowClass.style &= ~CS_GLOBALCLASS;
    static WindowClassHandle registration(RegisterClassExA(&windowClass));
    if (!registration) throw Exception("Cannot register the list-view class");
    return systemProcedure;
  }();
  return original;
}

}  // namespace

int TListView::AddItem(const std::string& caption) {
  items_.push_back({caption, {}});
  const int count = int(items_.size());
  if (!Send(LVM_SETITEMCOUNT, count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL)) {
    items_.pop_back();
    return -1;
  }
  return count - 1;
}

bool TListView::DeleteItem(int item) {
  // The control drops the item's state and moves the later items' states up, the selection
  // included; the texts follow only once it has.
  if (!Exists(item) || !Send(LVM_DELETEITEM, item, 0)) return false;
  items_.erase(items_.begin() + item);
  return true;
}

const std::string* TListView::Text(int item, int column) const {
  if (!Exists(item) || column < 0) return nullptr;
  const Item& row = items_[std::size_t(item)];
  if (column == 0) return &row.caption;
  return std::size_t(column) <= row.subItems.size() ? &row.subItems[std::size_t(column) - 1]
                                                    : nullptr;
}

std::string TListView::ItemText(int item, int column) const {
  const std::string* text = Text(item, column);
  return text ? *text : std::string();
}

bool TListView::SetCaption(int item, const std::string& caption) {
  if (!Exists(item)) return false;
  items_[std::size_t(item)].caption = caption;
  Redraw(item);
  return true;
}

bool TListView::AddSubItem(int item, const std::string& text) {
  if (!Exists(item)) return false;
  items_[std::size_t(item)].subItems.push_back(text);
  Redraw(item);
  return true;
}

int TListView::SubItemCount(int item) const {
  return Exists(item) ? int(items_[std::size_t(item)].subItems.size()) : -1;
}

void TListView::Redraw(int item) {
  // While the painting is held the whole list is repainted at its end anyway.
  if (updateCount_ == 0) Send(LVM_REDRAWITEMS, item, item);
}

int TListView::FindItem(int start, const LVFINDINFOA& find) const {
  // The control's own type-ahead asks for the next caption that starts with what was typed,
  // ignoring case. LVFI_SUBSTRING, despite its name, is documented as the same prefix search.
  const bool partial = (find.flags & (LVFI_PARTIAL | LVFI_SUBSTRING)) != 0;
  if (!(partial || (find.flags & LVFI_STRING)) || find.psz == nullptr) return -1;
  const int count = ItemCount();
  const int length = lstrlenA(find.psz);
  const int first = start < 0 || start >= count ? 0 : start;
  for (int step = 0; step < count; ++step) {
    const int item = first + step;
    if (item >= count && !(find.flags & LVFI_WRAP)) break;
    const std::string& caption = items_[std::size_t(item % count)].caption;
    if (partial && int(caption.size()) < length) continue;
    if (CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, caption.c_str(),
                       partial ? length : int(caption.size()), find.psz, length) == CSTR_EQUAL) {
      return item % count;
    }
  }
  return -1;
}

int FittingTextLength(const std::string& text, int size, UINT codePage) {
  if (int(text.size()) < size) return int(text.size());
  int length = 0;
  // Only a walk from the start tells lead bytes apart: a trail byte may have a lead byte's value.
  while (length < size - 1) {
    const bool pair = IsDBCSLeadByteEx(codePage, BYTE(text[std::size_t(length)])) &&
                      text[std::size_t(length) + 1] != '\0';
    const int next = length + (pair ? 2 : 1);
    if (next > size - 1) break;
    length = next;
  }
  return length;
}

bool TListView::HandleNotify(NMHDR& header, LRESULT& result) {
  switch (header.code) {
    case LVN_GETDISPINFOA: {
      LVITEMA& item = reinterpret_cast<NMLVDISPINFOA&>(header).item;
      if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
        const std::string* text = Text(item.iItem, item.iSubItem);
        const int length = text ? FittingTextLength(*text, item.cchTextMax, CP_ACP) : 0;
        lstrcpynA(item.pszText, text ? text->c_str() : "", length + 1);
      }
      result = 0;
      return true;
    }
    case LVN_ODFINDITEMA: {
      const NMLVFINDITEMA& find = reinterpret_cast<NMLVFINDITEMA&>(header);
      result = FindItem(find.iStart, find.lvfi);
      return true;
    }
    case LVN_ODFINDITEMW: {
      // Wine's control sends the search in this form whatever the format it was asked for.
      const NMLVFINDITEMW& find = reinterpret_cast<NMLVFINDITEMW&>(header);
      std::string text;
      if (find.lvfi.psz) {
        const int size =
            WideCharToMultiByte(CP_ACP, 0, find.lvfi.psz, -1, nullptr, 0, nullptr, nullptr);
        text.resize(std::size_t(std::max(size, 1)));
        WideCharToMultiByte(CP_ACP, 0, find.lvfi.psz, -1, text.data(), size, nullptr, nullptr);
      }
      LVFINDINFOA ansi{};
      ansi.flags = find.lvfi.flags;
      ansi.psz = find.lvfi.psz ? text.c_str() : nullptr;
      result = FindItem(find.iStart, ansi);
      return true;
    }
    default:
      return false;
  }
}

UINT TListView::ItemState(int item, UINT mask) const {
  return UINT(Send(LVM_GETITEMSTATE, item, mask));
}

int TListView::SelectedCount() const { return int(Send(LVM_GETSELECTEDCOUNT, 0, 0)); }

int TListView::NextItem(int start, UINT flags) const {
  return int(Send(LVM_GETNEXTITEM, start, MAKELPARAM(flags, 0)));
}

bool TListView::ItemRect(int item, int code, RECT& rect) const {
  rect.left = code;
  return Send(LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&rect)) != FALSE;
}

void TListView::BeginUpdate() {
  if (updateCount_++ == 0) Send(WM_SETREDRAW, FALSE, 0);
}

void TListView::EndUpdate() {
  if (updateCount_ == 0 || --updateCount_ > 0) return;
  Send(WM_SETREDRAW, TRUE, 0);
  // Turning redraw back on does not repaint by itself on Windows; the header is a child.
  RedrawWindow(Handle(), nullptr, nullptr,
               RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

POINT TListView::ContextMenuOrigin() const {
  const int item = NextItem(-1, LVNI_SELECTED);
  RECT row;
  if (item >= 0 && ItemRect(item, LVIR_BOUNDS, row)) {
    return {(row.left + row.right) / 2, (row.top + row.bottom) / 2};
  }
  return {0, 0};
}

void TListView::ApplyProperty(const LayoutProperty& property, const TForm& form) {
  if (property.name == "ViewStyle") {
    const std::string style = WordValue(property);
    if (style == "vsIcon") {
      viewStyle_ = LVS_ICON;
    } else if (style == "vsSmallIcon") {
      viewStyle_ = LVS_SMALLICON;
    } else if (style == "vsList") {
      viewStyle_ = LVS_LIST;
    } else if (style == "vsReport") {
      viewStyle_ = LVS_REPORT;
    } else {
      RaiseLayoutError(property.line, "ViewStyle takes vsIcon, vsSmallIcon, vsList or vsReport");
    }
  } else if (property.name == "Column") {
    if (property.values.size() != 2 || property.values[0].kind != LayoutValue::Kind::Text ||
        property.values[1].kind != LayoutValue::Kind::Number) {
      RaiseLayoutError(property.line, "Column takes a quoted heading and a width");
    }
    columns_.push_back({property.values[0].text, property.values[1].number});
  } else if (property.name == "MultiSelect") {
    multiSelect_ = BooleanValue(property);
  } else if (property.name == "ReadOnly") {
    readOnly_ = BooleanValue(property);
  } else if (property.name == "RowSelect") {
    rowSelect_ = BooleanValue(property);
  } else {
    TWinControl::ApplyProperty(property, form);
  }
}

void TListView::CreateHandles(TForm& form) {
  SetDefaultProcedure(RegisterListViewClass());
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | LVS_OWNERDATA |
                      viewStyle_ | (multiSelect_ ? 0 : LVS_SINGLESEL) |
                      (readOnly_ ? 0 : LVS_EDITLABELS);
  CreateHandle(WS_EX_CLIENTEDGE, kWindowClass, "", style, left_, top_, width_, height_,
               form.Handle());
  // The texts handed out are ANSI, so the control is asked to notify in ANSI.
  Send(CCM_SETUNICODEFORMAT, FALSE, 0);
  SendMessageA(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(form.Font()), FALSE);
  Send(LVM_SETTEXTCOLOR, 0, GetSysColor(form.FontColor()));
  if (rowSelect_) {
    Send(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  }
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<char*>(columns_[i].caption.c_str());
    column.cx = columns_[i].width;
    if (Send(LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column)) < 0) {
      throw Exception("Cannot add the column " + columns_[i].caption + " to " + Name());
    }
  }
}
