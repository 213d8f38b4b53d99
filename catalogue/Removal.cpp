#include "catalogue/Removal.h"

#include "catalogue/Listing.h"

namespace {

void RemoveRegistration(TRegistry& registry, RegistrationList& rows, int row,
                        const StartProcessOperation& startProcess,
                        const std::string& registrationToolPath) {
  const int subItems = rows.SubItemCount(row);
  const std::string guid = subItems > 0 ? rows.SubItem(row, 0) : std::string();
  // An empty name would make the registry delete the helper-object key itself.
  if (guid.empty()) return;

  // Without a server key there is nothing to unregister. A double quote is never part of a
  // Windows file name; in registry data it would add arguments to the tool's command line.
  if (subItems > 1) {
    const std::string serverFile = rows.SubItem(row, 1);
    if (serverFile.find('"') == std::string::npos) {
      // The tool's full path: an unqualified name would be looked up in the program's own
      // folder and the current folder before the system folder.
      startProcess('"' + registrationToolPath + "\" -u \"" + serverFile + '"', kShowHidden);
    }
  }

  const bool removed = registry.RemoveKeyTree(guid);
  // A key that survived its deletion (a subkey the user may not delete, say) keeps its row, so
  // the list never claims a helper object is gone while it is still registered.
  if (!removed && registry.KeyExists(guid)) return;
  rows.Delete(row);
}

}  // namespace

void RemoveSelected(TRegistry& registry, RegistrationList& rows, const ConfirmOperation& confirm,
                    const StartProcessOperation& startProcess,
                    const std::string& registrationToolPath) {
  registry.SelectRoot(HKEY_LOCAL_MACHINE);
  if (rows.SelectedCount() > 0 && registry.EnterKey(kHelperObjectKeyPath) &&
      confirm("Are you sure?", "please confirm", kConfirmStyle) == kAnswerYes) {
    // Last to first, so deleting a row never shifts the rows still to visit.
    for (int row = rows.Count() - 1; row >= 0; --row) {
      if (rows.Selected(row)) {
        RemoveRegistration(registry, rows, row, startProcess, registrationToolPath);
      }
    }
  }
  registry.LeaveKey();
}
