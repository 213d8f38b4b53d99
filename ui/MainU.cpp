#include "ui/MainU.h"

#include <windows.h>

#include <optional>

#include "catalogue/Listing.h"
#include "catalogue/Removal.h"
#include "ui/ListViewRows.h"

TMainForm* MainForm = nullptr;

namespace {

std::string SystemDirectory() {
  std::string buffer(MAX_PATH, '\0');
  UINT length = GetSystemDirectoryA(buffer.data(), UINT(buffer.size()));
  if (length >= buffer.size()) {
    buffer.resize(length);
    length = GetSystemDirectoryA(buffer.data(), UINT(buffer.size()));
  }
  if (length == 0 || length >= buffer.size()) {
    throw Exception("Cannot find the system directory (error " + std::to_string(GetLastError()) +
                    ")");
  }
  return buffer.substr(0, length);
}

}  // namespace

TMainForm::TMainForm(TApplication& owner) : TForm(owner) {
  BuildFromResource("TMainForm",
                    {{Field("lvBHO", lvBHO), Field("pmBHO", pmBHO), Field("miDelete", miDelete)},
                     {{"FormShow", [this](TObject* Sender) { FormShow(Sender); }},
                      {"miDeleteClick", [this](TObject* Sender) { miDeleteClick(Sender); }}}});
  registry.reset(new TRegistry);
}

TMainForm::~TMainForm() {
  registry.reset();  // closes any key still open, before the window goes
  if (MainForm == this) MainForm = nullptr;
}

void TMainForm::FormShow(TObject*) {
  ListViewRows rows(*lvBHO);
  const TListViewUpdate update(*lvBHO);
  ListRegistrations(*registry, rows);
}

void TMainForm::miDeleteClick(TObject*) {
  ListViewRows rows(*lvBHO);
  // Painting is held from the Yes on, not while the question is up: the list behind the box
  // must still repaint.
  std::optional<TListViewUpdate> update;
  // The tool by its full path: WinExec would look for a bare name in the program's folder
  // and the current folder first. Looked up only after the Yes: with no row selected nothing
  // may show a box. Server paths expand in this process's environment, as COM here would.
  static const EnvironmentFunctions environment{ExpandEnvironmentStringsA};
  RemoveSelected(
      *registry, rows,
      [this, &update](const std::string& text, const std::string& caption, unsigned style) {
        const int answer = Application.MessageBox(text, caption, style);
        if (answer == kAnswerYes) update.emplace(*lvBHO);
        return answer;
      },
      [](const std::string& commandLine, int show) { WinExec(commandLine.c_str(), UINT(show)); },
      [] { return SystemDirectory() + "\\regsvr32.exe"; }, environment);
}
