#pragma once
// The main window: the list of registered helper objects and its context menu.

#include <boost/scoped_ptr.hpp>

#include "registry/Registry.h"
#include "ui/Form.h"
#include "ui/ListView.h"
#include "ui/Menus.h"

class TMainForm : public TForm {
 public:
  explicit TMainForm(TApplication& owner);
  ~TMainForm() override;

  TListView* lvBHO = nullptr;
  TPopupMenu* pmBHO = nullptr;
  TMenuItem* miDelete = nullptr;
  boost::scoped_ptr<TRegistry> registry;

  void FormShow(TObject* Sender);
  void miDeleteClick(TObject* Sender);
};

extern TMainForm* MainForm;
