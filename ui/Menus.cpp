#include "ui/Menus.h"

#include <exception>

#include "app/Application.h"
#include "ui/Form.h"

std::string TMenuItem::MenuText() const {
  return shortCut_ ? caption_ + "\t" + ShortCutText(shortCut_) : caption_;
}

void TMenuItem::Click() {
  if (!OnClick) return;
  try {
    OnClick(this);
  } catch (...) {
    Application.HandleException(std::current_exception());
  }
}

void TMenuItem::ApplyProperty(const LayoutProperty& property, const TForm& form) {
  if (property.name == "Caption") {
    caption_ = TextValue(property);
  } else if (property.name == "ShortCut") {
    const std::int32_t value = NumberValue(property);
    if (value < 0 || value > 0xFFFF) RaiseLayoutError(property.line, "ShortCut out of range");
    try {
      ShortCutText(static_cast<TShortCut>(value));
    } catch (const Exception& error) {
      RaiseLayoutError(property.line, error.Message());
    }
    shortCut_ = static_cast<TShortCut>(value);
  } else if (property.name == "OnClick") {
    OnClick = form.FindHandler(property);
  } else {
    TComponent::ApplyProperty(property, form);
  }
}

void TPopupMenu::InsertComponent(TComponent& child, int line) {
  if (auto* item = dynamic_cast<TMenuItem*>(&child)) {
    items_.push_back(item);
  } else {
    TComponent::InsertComponent(child, line);
  }
}

void TPopupMenu::CreateHandles(TForm& form) {
  menu_ = MenuHandle(CreatePopupMenu());
  if (!menu_) throw Exception("Cannot create the menu " + Name());
  owner_ = form.Handle();
  for (std::size_t i = 0; i < items_.size(); ++i) {
    // Command identifiers are the item's position plus one: TrackPopupMenuEx returns 0 when
    // nothing was chosen.
    if (!AppendMenuA(menu_.Get(), MF_STRING, i + 1, items_[i]->MenuText().c_str())) {
      throw Exception("Cannot add " + items_[i]->Name() + " to the menu " + Name());
    }
  }
}

void TPopupMenu::Popup(int x, int y) {
  const UINT command =
      TrackPopupMenuEx(menu_.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, owner_, nullptr);
  if (command >= 1 && command <= items_.size()) items_[command - 1]->Click();
}

bool TPopupMenu::IsShortCut(TShortCut shortCut) {
  for (TMenuItem* item : items_) {
    if (item->ShortCut() != 0 && item->ShortCut() == shortCut) {
      item->Click();
      return true;
    }
  }
  return false;
}
