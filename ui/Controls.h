#pragma once
// TWinControl: a component that is a window. It routes the keyboard's shortcuts and the context
// menu: a key press is first offered to the context menus of the control and of its parents;
// a right click in the client area, or the context-menu key, opens the control's context menu.

#include <windows.h>

#include "app/Window.h"
#include "ui/Component.h"
#include "ui/ShortCut.h"

class TPopupMenu;

enum class TAlign { alNone, alClient };

class TWinControl : public TComponent, public TWindowTarget {
 public:
  TWinControl* Parent() const { return parent_; }
  void SetParent(TWinControl* parent) { parent_ = parent; }
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  TAlign Align() const { return align_; }
  int TabOrder() const { return tabOrder_; }

  void ApplyProperty(const LayoutProperty& property, const TForm& form) override;

  // A notification this control sent its parent (WM_NOTIFY), handed back to it by the form;
  // true when handled, with the answer in `result`.
  virtual bool HandleNotify(NMHDR& header, LRESULT& result);

 protected:
  // Left, Top, Width and Height: the outer bounds in the parent's client coordinates.
  bool ApplyBoundsProperty(const LayoutProperty& property);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  // Where the context-menu key opens the menu, in client coordinates.
  virtual POINT ContextMenuOrigin() const { return {0, 0}; }

  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;

 private:
  bool IsMenuKey(TShortCut shortCut) const;
  bool ShowContextMenu(LPARAM position);

  TWinControl* parent_ = nullptr;
  TPopupMenu* popupMenu_ = nullptr;
  TAlign align_ = TAlign::alNone;
  int tabOrder_ = -1;
};
