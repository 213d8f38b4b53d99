#pragma once
// TForm: a top-level window built at run time from the layout resource named after its class.
// Building creates each component of the layout, stores it in the field of the same name,
// sets its properties and binds each event property to the handler of the given name; an
// unknown class, property or handler raises ELayoutError while the form is being built.

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/Application.h"
#include "app/Handles.h"
#include "ui/Controls.h"

// How a derived form's fields and handlers are found by name while it is built.
struct FormBindings {
  // Stores a component in a field; false when the component is of the wrong class.
  using FieldSetter = std::function<bool(TComponent&)>;
  std::map<std::string, FieldSetter> fields;
  std::map<std::string, TNotifyEvent> handlers;
};

template <class T>
std::pair<const std::string, FormBindings::FieldSetter> Field(const std::string& name, T*& field) {
  return {name, [&field](TComponent& component) {
            field = dynamic_cast<T*>(&component);
            return field != nullptr;
          }};
}

enum class TPosition { poDesigned, poScreenCenter };

class TForm : public TWinControl, public ApplicationWindow {
 public:
  explicit TForm(TApplication& owner);
  ~TForm() override;

  const char* ClassName() const override { return className_.c_str(); }

  // ApplicationWindow
  HWND WindowHandle() const override { return Handle(); }
  TWindowState WindowState() const override;
  void SetWindowState(TWindowState state) override;
  // Runs the show handler (its errors go to the error handling, and showing goes on), centres
  // the form on its first showing, then displays it.
  void Show() override;

  HFONT Font() const { return font_.Get(); }
  int FontColor() const { return fontColor_; }  // a system colour index

  TComponent* FindComponent(const std::string& name) const;
  TNotifyEvent FindHandler(const LayoutProperty& property) const;

  void ApplyProperty(const LayoutProperty& property, const TForm& form) override;
  void InsertComponent(TComponent& child, int line) override;
  void CreateHandles(TForm& form) override;

  TNotifyEvent OnShow;

 protected:
  // Builds the form from the RCDATA resource named className.
  void BuildFromResource(const std::string& className, const FormBindings& bindings);
  void Build(const std::string& className, const std::string& layout, const FormBindings& bindings);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void CreateComponents(const LayoutComponent& parentLayout, TComponent& parent,
                        const FormBindings& bindings);
  void ApplyProperties(const LayoutComponent& layout, TComponent& component);
  void Realign();
  TWinControl* FirstControl() const;

  TApplication& owner_;
  std::string className_;
  std::vector<std::unique_ptr<TComponent>> components_;  // in layout order
  std::map<std::string, TComponent*> componentsByName_;
  std::vector<TWinControl*> controls_;
  std::map<std::string, TNotifyEvent> handlers_;

  std::string caption_;
  TPosition position_ = TPosition::poDesigned;
  int color_ = COLOR_BTNFACE;
  std::string fontName_ = "MS Sans Serif";
  int fontHeight_ = -11;
  int fontCharset_ = DEFAULT_CHARSET;
  int fontColor_ = COLOR_WINDOWTEXT;
  FontHandle font_;

  TWindowState windowState_ = TWindowState::wsNormal;
  bool shownBefore_ = false;
};
