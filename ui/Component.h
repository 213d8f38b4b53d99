#pragma once
// The base of every object a layout creates: a name, the properties it takes from the layout,
// the components it can hold, and the handles it creates once all properties are set.

#include <functional>
#include <string>

#include "ui/Layout.h"

class TForm;

class TObject {
 public:
  virtual ~TObject() = default;
};

// An event handler; Sender is the object that raised the event.
using TNotifyEvent = std::function<void(TObject* Sender)>;

class TComponent : public TObject {
 public:
  TComponent() = default;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  virtual const char* ClassName() const = 0;

  // Takes one property from the layout; raises ELayoutError for a property the class lacks.
  virtual void ApplyProperty(const LayoutProperty& property, const TForm& form);
  // Takes a component nested in this one's layout block; raises ELayoutError for a kind it
  // cannot hold (by default none).
  virtual void InsertComponent(TComponent& child, int line);
  // Creates the windows or menus once every component's properties are set.
  virtual void CreateHandles(TForm& form) = 0;

 private:
  std::string name_;
};
