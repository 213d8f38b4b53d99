#include "catalogue/Listing.h"

#include <boost/scoped_ptr.hpp>

const char kHelperObjectKeyPath[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";

void ListRegistrations(TRegistry& registry, RegistrationList& rows) {
  registry.SelectRoot(HKEY_LOCAL_MACHINE);
  if (!registry.EnterKey(kHelperObjectKeyPath)) return;
  boost::scoped_ptr<TStringList> names(new TStringList);
  registry.ListSubkeyNames(*names);
  registry.LeaveKey();

  registry.SelectRoot(HKEY_CLASSES_ROOT);
  for (int i = 0; i < names->Count(); ++i) {
    // Relative, and no key is open here: resolved against HKEY_CLASSES_ROOT.
    if (registry.EnterKey("CLSID\\" + (*names)[i])) {
      const int row = rows.Append();
      rows.SetCaption(row, registry.ReadText(""));
      rows.AppendSubItem(row, (*names)[i]);
      // Relative to the class key, whose handle closes as the server key becomes current.
      if (registry.EnterKey("InprocServer32")) rows.AppendSubItem(row, registry.ReadText(""));
    }
    registry.LeaveKey();
  }
}
