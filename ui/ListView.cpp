#include "ui/ListView.h"

#include <commctrl.h>

#include "ui/Form.h"

namespace {

const char kWindowClass[] = "TListView";

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

int TListView::ItemCount() const { return int(Send(LVM_GETITEMCOUNT, 0, 0)); }

int TListView::InsertItem(int index, const std::string& caption, LPARAM data) {
  LVITEMA item{};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = index;
  item.pszText = const_cast<char*>(caption.c_str());
  item.lParam = data;
  return int(Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

bool TListView::DeleteItem(int item) { return Send(LVM_DELETEITEM, item, 0) != FALSE; }

std::string TListView::ItemText(int item, int subItem) const {
  // LVM_GETITEMTEXT says nothing of a text cut short but for filling the buffer: grow it
  // until the text fits with room to spare.
  std::vector<char> buffer(256);
  for (;;) {
    LVITEMA request{};
    request.iSubItem = subItem;
    request.pszText = buffer.data();
    request.cchTextMax = int(buffer.size());
    const int length = int(Send(LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&request)));
    if (length < int(buffer.size()) - 1) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

bool TListView::SetItemText(int item, int subItem, const std::string& text) {
  LVITEMA request{};
  request.iSubItem = subItem;
  request.pszText = const_cast<char*>(text.c_str());
  return Send(LVM_SETITEMTEXTA, item, reinterpret_cast<LPARAM>(&request)) != FALSE;
}

LPARAM TListView::ItemData(int item) const {
  LVITEMA request{};
  request.mask = LVIF_PARAM;
  request.iItem = item;
  return Send(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&request)) ? request.lParam : 0;
}

bool TListView::SetItemData(int item, LPARAM data) {
  LVITEMA request{};
  request.mask = LVIF_PARAM;
  request.iItem = item;
  request.lParam = data;
  return Send(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&request)) != FALSE;
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
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | viewStyle_ |
                      (multiSelect_ ? 0 : LVS_SINGLESEL) | (readOnly_ ? 0 : LVS_EDITLABELS);
  CreateHandle(WS_EX_CLIENTEDGE, kWindowClass, "", style, left_, top_, width_, height_,
               form.Handle());
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
