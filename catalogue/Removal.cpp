#include "catalogue/Removal.h"

#include <algorithm>
#include <map>

#include "catalogue/Listing.h"

namespace {

std::string Folded(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return name;
}

// How many subkeys of the helper-object key (the current key) enumerate as each name, compared
// as the registry compares an ASCII name. False when some subkey could not be enumerated: the
// one missing might spell a name twice.
using NameCounts = std::map<std::string, int>;

bool CountListedNames(TRegistry& registry, NameCounts& counts) {
  TStringList names;
  registry.ListSubkeyNames(names);
  KeyInfo info;
  if (!registry.QueryKeyInfo(info) || names.Count() != info.NumSubKeys) return false;
  for (int i = 0; i < names.Count(); ++i) ++counts[Folded(names[i])];
  return true;
}

// Whether a key the name no longer reaches may still be listed under it. Below a deleted
// helper-object key nothing is; where the enumeration fails, it may be.
bool MayStillBeListed(TRegistry& registry, const std::string& name) {
  if (!registry.KeyExists("")) return false;
  NameCounts counts;
  return !CountListedNames(registry, counts) || counts.count(Folded(name)) == 1;
}

// The 8-bit enumeration spells a character the ANSI code page lacks as '?' or as a look-alike
// (a dotless i as 'i', a full-width backslash as a backslash), so a listed name may open another
// key than the one it was listed from, or none. Only a printable ASCII name without a backslash
// is compared here as the registry compares it (Wine folds no other character onto ASCII).
bool IsPlainName(const std::string& name) {
  return !name.empty() && std::all_of(name.begin(), name.end(),
                                      [](char c) { return c >= 0x20 && c <= 0x7E && c != '\\'; });
}

// The server file to hand the registration tool: the one the row shows, where the machine's
// own class registration names exactly that file. On Windows HKEY_CLASSES_ROOT shows a user's
// per-user classes over the machine's, and any program of the user may write those without
// elevation; the tool runs elevated, as this program does, and loads the file it is handed. Only
// an administrator can write the machine's registration. False when no file may be handed over.
bool ServerFileForTool(TRegistry& registry, const EnvironmentFunctions& environment,
                       const std::string& guid, const std::string& serverFile,
                       std::string& toolFile) {
  // A double quote is never part of a Windows file name; on the tool's command line it would
  // end the argument and add others.
  const auto quoteFree = [](const std::string& text) {
    return text.find('"') == std::string::npos;
  };
  TextValue machine;
  if (!quoteFree(serverFile) ||
      !registry.ReadTextOf("\\SOFTWARE\\Classes\\CLSID\\" + guid + "\\InprocServer32", "",
                           machine) ||
      machine.Text != serverFile) {
    return false;
  }
  // COM expands a REG_EXPAND_SZ path in the loading process's environment; the tool loads its
  // argument as it stands. REG_SZ is a file name, a % in it included; so is an empty path.
  if (machine.Type != REG_EXPAND_SZ || serverFile.empty()) {
    toolFile = serverFile;
    return true;
  }
  // The environment is the user's own to set: its expansion is checked again.
  return ExpandEnvironment(environment, serverFile, toolFile) && !toolFile.empty() &&
         quoteFree(toolFile);
}

void RemoveRegistration(TRegistry& registry, RegistrationList& rows, int row,
                        const NameCounts& listed, const StartProcessOperation& startProcess,
                        const std::string& tool, const EnvironmentFunctions& environment) {
  const int subItems = rows.SubItemCount(row);
  const std::string guid = subItems > 0 ? rows.SubItem(row, 0) : std::string();
  // An empty name would make the registry delete the helper-object key itself, and one with a
  // backslash a key further down; a name the registry may read otherwise than it was listed could
  // reach another registration. Such a row stays, and its registration is left alone.
  if (!IsPlainName(guid)) return;
  const auto found = listed.find(Folded(guid));
  const int sharing = found == listed.end() ? 0 : found->second;
  // Two keys listed alike: which one the name opens is the registry's choice, not the user's.
  if (sharing > 1) return;
  // One still listed that the name does not reach: its name was spelled lossily, and it is not
  // gone. (One that went since, with the helper-object key perhaps, is no longer listed.)
  if (!registry.KeyExists(guid) && MayStillBeListed(registry, guid)) return;

  // Without a server key there is nothing to unregister. Silent (/s): without it the tool ends
  // on a message box, which Windows shows with the hidden show command it was started with, so
  // it would wait for ever, its server file loaded, on a box nobody sees.
  std::string toolFile;
  if (subItems > 1 &&
      ServerFileForTool(registry, environment, guid, rows.SubItem(row, 1), toolFile)) {
    startProcess('"' + tool + "\" /s -u \"" + toolFile + '"', kShowHidden);
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
                    const ToolPathOperation& registrationTool,
                    const EnvironmentFunctions& environment) {
  registry.SelectRoot(HKEY_LOCAL_MACHINE);
  // However the removal ends, an error from the list included, it leaves no key open: the next
  // one would resolve the helper-object key's relative path below it, find nothing, and silently
  // do nothing.
  struct KeyLeaver {
    TRegistry& registry;
    ~KeyLeaver() { registry.LeaveKey(); }
  } leaver{registry};
  if (rows.SelectedCount() > 0 && registry.EnterKey(kHelperObjectKeyPath) &&
      confirm("Are you sure?", "please confirm", kConfirmStyle) == kAnswerYes) {
    // The tool's full path: an unqualified name would be looked up in the program's own folder
    // and the current folder before the system folder. Before any row: a lookup that fails
    // must not stop the batch half-way.
    const std::string tool = registrationTool();
    NameCounts listed;
    const bool complete = CountListedNames(registry, listed);
    // Last to first, so deleting a row never shifts the rows still to visit.
    for (int row = rows.Count() - 1; complete && row >= 0; --row) {
      if (rows.Selected(row)) {
        RemoveRegistration(registry, rows, row, listed, startProcess, tool, environment);
      }
    }
  }
}
