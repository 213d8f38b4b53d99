#include "ui/Controls.h"

#include <windowsx.h>

#include "ui/Form.h"
#include "ui/Menus.h"

void TComponent::ApplyProperty(const LayoutProperty& property, const TForm&) {
  RaiseLayoutError(property.line, std::string(ClassName()) + " has no property " + property.name);
}

void TComponent::InsertComponent(TComponent& child, int line) {
  RaiseLayoutError(line, std::string(ClassName()) + " " + Name() + " cannot hold " +
                             child.ClassName() + " " + child.Name());
}

bool TWinControl::ApplyBoundsProperty(const LayoutProperty& property) {
  int* bound = property.name == "Left"     ? &left_
               : property.name == "Top"    ? &top_
               : property.name == "Width"  ? &width_
               : property.name == "Height" ? &height_
                                           : nullptr;
  if (bound) *bound = NumberValue(property);
  return bound != nullptr;
}

void TWinControl::ApplyProperty(const LayoutProperty& property, const TForm& form) {
  if (ApplyBoundsProperty(property)) return;
  if (property.name == "Align") {
    const std::string align = WordValue(property);
    if (align == "alClient") {
      align_ = TAlign::alClient;
    } else if (align == "alNone") {
      align_ = TAlign::alNone;
    } else {
      RaiseLayoutError(property.line, "Align takes alNone or alClient");
    }
  } else if (property.name == "PopupMenu") {
    popupMenu_ = dynamic_cast<TPopupMenu*>(form.FindComponent(WordValue(property)));
    if (!popupMenu_) {
      RaiseLayoutError(property.line, "no popup menu named " + WordValue(property));
    }
  } else if (property.name == "TabOrder") {
    tabOrder_ = NumberValue(property);
  } else {
    TComponent::ApplyProperty(property, form);
  }
}

bool TWinControl::HandleNotify(NMHDR&, LRESULT&) { return false; }

bool TWinControl::IsMenuKey(TShortCut shortCut) const {
  // A form without a menu bar has no shortcuts of its own beyond its context menu, so the
  // walk up the parents covers the window's shortcuts too.
  for (const TWinControl* control = this; control; control = control->Parent()) {
    if (control->PopupMenu() && control->PopupMenu()->IsShortCut(shortCut)) return true;
  }
  return false;
}

bool TWinControl::ShowContextMenu(LPARAM position) {
  POINT point{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
  if (point.x == -1 && point.y == -1) {
    // The keyboard's context-menu key or Shift+F10.
    point = ContextMenuOrigin();
    ClientToScreen(Handle(), &point);
  } else {
    POINT client = point;
    ScreenToClient(Handle(), &client);
    RECT area;
    GetClientRect(Handle(), &area);
    if (!PtInRect(&area, client)) return false;
  }
  SetFocus(Handle());
  PopupMenu()->Popup(point.x, point.y);
  return true;
}

LRESULT TWinControl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (wParam <= 0xFF &&
          IsMenuKey(ShortCutOfKey(static_cast<std::uint8_t>(wParam), GetKeyState(VK_SHIFT) < 0,
                                  GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_MENU) < 0))) {
        return 0;
      }
      break;
    case WM_CONTEXTMENU:
      if (PopupMenu() && ShowContextMenu(lParam)) return 0;
      break;
    default:
      break;
  }
  return DefaultHandler(message, wParam, lParam);
}
