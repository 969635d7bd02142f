// A recorded session replayed in the window: `varnel SESSION.vsc` reopens an analysis where it
// was left, to be continued by hand.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/qt/dialogwindow.h"
#include "platform/qt/qthost.h"

void QtHost::Replay(DialogWindow& window, const std::vector<ScriptLine>& lines) {
  CDialog& dialog = window.Dialog();
  for (const ScriptLine& line : lines) {
    // The window may have ended on the way (a dialog that closes itself).
    if (dialog.HasEnded()) return;
    if (line.command == ScriptCommand::Files) {
      // `files` alone: the next file dialog is cancelled.
      std::vector<std::string> paths = ExpandScriptPaths(line.args);
      replayFiles_.emplace();
      if (!paths.empty()) *replayFiles_ = std::move(paths);
      continue;
    }
    if (!line.command) {
      // A command of the program's, carried out as the script says, and recorded as it was
      // written, so that the record of the session that goes on from here replays it too.
      std::optional<std::string> wrong;
      Act(
          window, [&] { wrong = dialog.OnCommand(line.name, line.args); },
          [&](SessionRecord& record) {
            if (wrong) return;
            std::vector<std::string> words{line.name};
            words.insert(words.end(), line.args.begin(), line.args.end());
            record.Command(words);
          });
      if (wrong) std::cerr << "varnel: line " << line.number << ": " << *wrong << "; left out" << std::endl;
      if (!dialog.HasEnded())
        for (const Control& c : dialog.Controls()) window.Mirror(c);
      continue;
    }
    if (line.command != ScriptCommand::Type && line.command != ScriptCommand::Paste &&
        line.command != ScriptCommand::Click && line.command != ScriptCommand::Select)
      continue;
    const Control* control = FindScriptControl(dialog, line.args[0]);
    if (!control) {
      std::cerr << "varnel: line " << line.number << ": no control '" << line.args[0] << "'; left out" << std::endl;
      continue;
    }
    const int id = control->Id();
    switch (*line.command) {
      case ScriptCommand::Type:
        for (const std::size_t length : KeystrokeLengths(line.args[1])) UserEdited(window, id, line.args[1].substr(0, length));
        break;
      case ScriptCommand::Paste:
        UserEdited(window, id, line.args[1]);
        break;
      case ScriptCommand::Click:
        UserClicked(window, id);
        break;
      default:
        if (const auto index = ScriptNumber(line.args[1])) UserSelected(window, id, *index);
        break;
    }
    // The widgets show what the user's own typing would have put there.
    if (!dialog.HasEnded())
      for (const Control& c : dialog.Controls()) window.Mirror(c);
  }
  replayFiles_.reset();
}
