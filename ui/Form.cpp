#include "ui/Form.h"

#include <exception>

#include "ui/Centring.h"
#include "ui/ListView.h"
#include "ui/Menus.h"

namespace {

std::unique_ptr<TComponent> NewComponent(const std::string& className) {
  if (className == "TListView") return std::make_unique<TListView>();
  if (className == "TPopupMenu") return std::make_unique<TPopupMenu>();
  if (className == "TMenuItem") return std::make_unique<TMenuItem>();
  return nullptr;
}

int SystemColour(const LayoutProperty& property) {
  const std::string name = WordValue(property);
  if (name == "clBtnFace") return COLOR_BTNFACE;
  if (name == "clWindow") return COLOR_WINDOW;
  if (name == "clWindowText") return COLOR_WINDOWTEXT;
  RaiseLayoutError(property.line, property.name + " takes clBtnFace, clWindow or clWindowText");
}

void RegisterFormClass(const std::string& className, HICON icon) {
  static std::map<std::string, WindowClassHandle> registered;
  if (registered.count(className)) return;
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hIcon = icon;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = className.c_str();
  WindowClassHandle registration(RegisterClassExA(&windowClass));
  if (!registration) throw Exception("Cannot register the window class " + className);
  registered.emplace(className, std::move(registration));
}

int ShowCommand(TWindowState state) {
  switch (state) {
    case TWindowState::wsMaximized:
      return SW_SHOWMAXIMIZED;
    case TWindowState::wsMinimized:
      return SW_SHOWMINIMIZED;
    default:
      return SW_SHOWNORMAL;
  }
}

}  // namespace

TForm::TForm(TApplication& owner) : owner_(owner) {}

TForm::~TForm() {
  // The window first: the components' windows go with it, before their objects do.
  DestroyHandle();
}

void TForm::BuildFromResource(const std::string& className, const FormBindings& bindings) {
  const HMODULE module = GetModuleHandleA(nullptr);
  const HRSRC resource = FindResourceA(module, className.c_str(), MAKEINTRESOURCEA(10));
  const HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
  const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (!data) throw Exception("The layout resource " + className + " is missing");
  Build(className, std::string(data, SizeofResource(module, resource)), bindings);
}

void TForm::Build(const std::string& className, const std::string& layout,
                  const FormBindings& bindings) {
  className_ = className;
  const LayoutComponent root = ParseLayout(layout);
  if (root.className != className) {
    RaiseLayoutError(root.line, "the layout is for " + root.className + ", not " + className);
  }
  SetName(root.name);
  handlers_ = bindings.handlers;
  CreateComponents(root, *this, bindings);
  for (const auto& field : bindings.fields) {
    if (!componentsByName_.count(field.first)) {
      throw ELayoutError("The layout of " + className + " has no component " + field.first);
    }
  }
  ApplyProperties(root, *this);
  CreateHandles(*this);
  for (const auto& component : components_) component->CreateHandles(*this);
  Realign();
}

void TForm::CreateComponents(const LayoutComponent& parentLayout, TComponent& parent,
                             const FormBindings& bindings) {
  for (const LayoutComponent& layout : parentLayout.components) {
    std::unique_ptr<TComponent> created = NewComponent(layout.className);
    if (!created) RaiseLayoutError(layout.line, "unknown class " + layout.className);
    if (layout.name == Name() || componentsByName_.count(layout.name)) {
      RaiseLayoutError(layout.line, "a second component named " + layout.name);
    }
    TComponent& component = *created;
    component.SetName(layout.name);
    componentsByName_[layout.name] = &component;
    components_.push_back(std::move(created));
    parent.InsertComponent(component, layout.line);
    const auto field = bindings.fields.find(layout.name);
    if (field != bindings.fields.end() && !field->second(component)) {
      RaiseLayoutError(layout.line,
                       "the field " + layout.name + " cannot hold a " + layout.className);
    }
    CreateComponents(layout, component, bindings);
  }
}

void TForm::ApplyProperties(const LayoutComponent& layout, TComponent& component) {
  for (const LayoutProperty& property : layout.properties) component.ApplyProperty(property, *this);
  for (const LayoutComponent& child : layout.components) {
    ApplyProperties(child, *componentsByName_.at(child.name));
  }
}

TComponent* TForm::FindComponent(const std::string& name) const {
  const auto found = componentsByName_.find(name);
  return found == componentsByName_.end() ? nullptr : found->second;
}

TNotifyEvent TForm::FindHandler(const LayoutProperty& property) const {
  const std::string name = WordValue(property);
  const auto found = handlers_.find(name);
  if (found == handlers_.end()) RaiseLayoutError(property.line, "no handler named " + name);
  return found->second;
}

void TForm::ApplyProperty(const LayoutProperty& property, const TForm& form) {
  if (ApplyBoundsProperty(property)) return;
  const std::string& name = property.name;
  if (name == "Caption") {
    caption_ = TextValue(property);
  } else if (name == "Position") {
    const std::string position = WordValue(property);
    if (position == "poScreenCenter") {
      position_ = TPosition::poScreenCenter;
    } else if (position == "poDesigned") {
      position_ = TPosition::poDesigned;
    } else {
      RaiseLayoutError(property.line, "Position takes poDesigned or poScreenCenter");
    }
  } else if (name == "Scaled") {
    // Layouts are in pixels at 96 pixels per inch, and the program declares no DPI awareness,
    // so Windows scales the whole window where the screen needs it.
    if (BooleanValue(property)) RaiseLayoutError(property.line, "Scaled true is not supported");
  } else if (name == "Color") {
    color_ = SystemColour(property);
  } else if (name == "Font.Name") {
    fontName_ = TextValue(property);
  } else if (name == "Font.Height") {
    fontHeight_ = NumberValue(property);
  } else if (name == "Font.Charset") {
    const std::string charset = WordValue(property);
    if (charset == "ANSI_CHARSET") {
      fontCharset_ = ANSI_CHARSET;
    } else if (charset == "DEFAULT_CHARSET") {
      fontCharset_ = DEFAULT_CHARSET;
    } else {
      RaiseLayoutError(property.line, "Font.Charset takes ANSI_CHARSET or DEFAULT_CHARSET");
    }
  } else if (name == "Font.Color") {
    fontColor_ = SystemColour(property);
  } else if (name == "OnShow") {
    OnShow = form.FindHandler(property);
  } else {
    // Align, PopupMenu and TabOrder are for the controls inside a form.
    TComponent::ApplyProperty(property, form);
  }
}

void TForm::InsertComponent(TComponent& child, int line) {
  if (auto* control = dynamic_cast<TWinControl*>(&child)) {
    control->SetParent(this);
    controls_.push_back(control);
  } else if (!dynamic_cast<TPopupMenu*>(&child)) {
    TComponent::InsertComponent(child, line);
  }
}

void TForm::CreateHandles(TForm&) {
  RegisterFormClass(className_, owner_.Icon());
  font_ = FontHandle(CreateFontA(fontHeight_, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                 DWORD(fontCharset_), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                 DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, fontName_.c_str()));
  if (!font_) throw Exception("Cannot create the font " + fontName_);
  // Owned by the application window, so the form has no taskbar button of its own.
  CreateHandle(0, className_.c_str(), caption_, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, left_, top_,
               width_, height_, owner_.Handle());
}

TWindowState TForm::WindowState() const {
  if (!IsWindowVisible(Handle())) return windowState_;
  if (IsIconic(Handle())) return TWindowState::wsMinimized;
  if (IsZoomed(Handle())) return TWindowState::wsMaximized;
  return TWindowState::wsNormal;
}

void TForm::SetWindowState(TWindowState state) {
  windowState_ = state;
  if (IsWindowVisible(Handle())) ShowWindow(Handle(), ShowCommand(state));
}

void TForm::Show() {
  if (IsWindowVisible(Handle())) return;
  if (OnShow) {
    try {
      OnShow(this);
    } catch (...) {
      owner_.HandleException(std::current_exception());
    }
  }
  if (!shownBefore_ && position_ == TPosition::poScreenCenter) {
    RECT bounds;
    GetWindowRect(Handle(), &bounds);
    const WindowOrigin origin =
        CentredOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                      bounds.right - bounds.left, bounds.bottom - bounds.top);
    SetWindowPos(Handle(), nullptr, origin.left, origin.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  shownBefore_ = true;
  ShowWindow(Handle(), ShowCommand(windowState_));
  owner_.UpdateVisible();
}

void TForm::Realign() {
  RECT client;
  GetClientRect(Handle(), &client);
  for (TWinControl* control : controls_) {
    if (control->Align() == TAlign::alClient) {
      MoveWindow(control->Handle(), 0, 0, client.right, client.bottom, TRUE);
    }
  }
}

TWinControl* TForm::FirstControl() const {
  TWinControl* first = nullptr;
  for (TWinControl* control : controls_) {
    if (!first || (control->TabOrder() >= 0 &&
                   (first->TabOrder() < 0 || control->TabOrder() < first->TabOrder()))) {
      first = control;
    }
  }
  return first;
}

LRESULT TForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      Realign();
      break;
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(Handle(), &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(color_));
      return 1;
    }
    case WM_SETFOCUS:
      if (TWinControl* control = FirstControl()) {
        SetFocus(control->Handle());
        return 0;
      }
      break;
    case WM_NOTIFY: {
      NMHDR& header = *reinterpret_cast<NMHDR*>(lParam);
      for (TWinControl* control : controls_) {
        LRESULT result = 0;
        if (control->Handle() == header.hwndFrom && control->HandleNotify(header, result)) {
          return result;
        }
      }
      break;
    }
    case WM_CLOSE:
      ShowWindow(Handle(), SW_HIDE);
      owner_.UpdateVisible();
      if (owner_.MainForm() == this) owner_.Terminate();
      return 0;
    case WM_SYSCOMMAND:
      // The main form minimises the whole application, whose window holds the taskbar button.
      if ((wParam & 0xFFF0) == SC_MINIMIZE && owner_.MainForm() == this) {
        owner_.Minimize();
        return 0;
      }
      break;
    default:
      break;
  }
  return TWinControl::HandleMessage(message, wParam, lParam);
}
