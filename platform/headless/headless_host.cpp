#include "platform/headless/headless_host.h"

#include <glob.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <istream>
#include <map>
#include <ostream>

#include "platform/png.h"

namespace {

struct CommandShape {
  std::size_t minArgs;
  std::size_t maxArgs;
  const char* usage;
};

const std::map<std::string, CommandShape>& Commands() {
  static const std::map<std::string, CommandShape> commands = {
      {"type", {2, 2, "type CONTROL TEXT"}},
      {"paste", {2, 2, "paste CONTROL TEXT"}},
      {"click", {1, 1, "click CONTROL"}},
      {"select", {2, 2, "select CONTROL INDEX"}},
      {"files", {0, SIZE_MAX, "files [PATH...]"}},
      {"paint", {0, 0, "paint"}},
      {"about", {0, 0, "about"}},
      {"show", {1, 1, "show CONTROL"}},
      {"expect", {2, 2, "expect CONTROL TEXT"}},
      {"save-map", {1, 1, "save-map FILE.png"}},
      {"save-panel", {1, 1, "save-panel FILE.png"}},
      {"save-window", {1, 1, "save-window FILE.png"}},
      {"close", {0, 0, "close"}},
  };
  return commands;
}

// Unwinds from a failing script line back to the modal loop.
struct ScriptStop {
  int status;
};

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

// Expands a glob pattern into sorted paths; a pattern that matches nothing stands for itself.
std::vector<std::string> Expand(const std::string& pattern) {
  glob_t matches{};
  std::vector<std::string> paths;
  if (glob(pattern.c_str(), GLOB_NOCHECK, nullptr, &matches) == 0)
    for (std::size_t k = 0; k < matches.gl_pathc; ++k) paths.emplace_back(matches.gl_pathv[k]);
  globfree(&matches);
  std::sort(paths.begin(), paths.end());
  return paths;
}

// The map occupies client pixels (1, 1) to (402, 402).
constexpr CRect kMapRect = {1, 1, 403, 403};

}  // namespace

HeadlessHost::HeadlessHost(std::string name, std::vector<ScriptLine> lines, std::ostream& out, std::ostream& err)
    : name_(std::move(name)), lines_(std::move(lines)), out_(out), err_(err) {}

std::optional<std::vector<ScriptLine>> HeadlessHost::Parse(std::istream& in, const std::string& name,
                                                           std::string& error) {
  std::vector<ScriptLine> lines;
  std::string text;
  for (int number = 1; std::getline(in, text); ++number) {
    std::string why;
    auto words = SplitScriptLine(text, why);
    const auto fail = [&](const std::string& message) {
      error = name + ":" + std::to_string(number) + ": " + message;
      return std::nullopt;
    };
    if (!words) return fail(why);
    if (words->empty()) continue;
    const auto command = Commands().find((*words)[0]);
    if (command == Commands().end()) return fail("unknown command '" + (*words)[0] + "'");
    const std::size_t args = words->size() - 1;
    if (args < command->second.minArgs || args > command->second.maxArgs)
      return fail(std::string("usage: ") + command->second.usage);
    lines.push_back({number, std::move(*words)});
  }
  return lines;
}

INT_PTR HeadlessHost::RunModal(CDialog& dialog) {
  if (depth_ > 0) {
    // A dialog opened by a handler (the About box) opens and is closed at once.
    dialog.Realise();
    dialog.EndDialog(IDOK);
    return IDOK;
  }
  ++depth_;
  dialog.Realise();
  // Shown as a window is: the first paint comes before anything the user does.
  dialog.SendMessage(WM_PAINT);
  try {
    for (const ScriptLine& line : lines_) {
      if (dialog.HasEnded()) break;
      Run(dialog, line);
    }
  } catch (const ScriptStop& stop) {
    status_ = stop.status;
  }
  if (!dialog.HasEnded()) dialog.SendMessage(WM_SYSCOMMAND, SC_CLOSE);
  --depth_;
  return dialog.Result();
}

void HeadlessHost::Fail(const ScriptLine& line, const std::string& message, int status) {
  err_ << name_ << ":" << line.number << ": " << message << std::endl;
  throw ScriptStop{status};
}

Control& HeadlessHost::ControlArgument(CDialog& dialog, const ScriptLine& line, const std::string& word) {
  Control* found = nullptr;
  if (!word.empty() && std::all_of(word.begin(), word.end(), [](unsigned char c) { return std::isdigit(c); })) {
    found = word.size() < 7 ? dialog.FindControl(std::stoi(word)) : nullptr;
  } else {
    const std::string wanted = Upper(word);
    for (Control& c : dialog.Controls()) {
      const std::string name = Upper(std::string(c.tmpl->name));
      if (!name.empty() && (name == wanted || name == "IDC_" + wanted)) found = &c;
    }
  }
  if (!found) Fail(line, "no control '" + word + "'");
  return *found;
}

void HeadlessHost::SaveImage(const ScriptLine& line, const std::string& path, const PixelSurface& surface,
                             const CRect& rect) {
  if (!WritePng(path, surface, rect.left, rect.top, rect.Width(), rect.Height()))
    Fail(line, "cannot write '" + path + "'");
}

void HeadlessHost::Run(CDialog& dialog, const ScriptLine& line) {
  const std::string& command = line.words[0];
  const auto arg = [&](std::size_t k) -> const std::string& { return line.words[k]; };
  const auto requireKind = [&](const Control& c, ControlKind kind, const char* what) {
    if (c.Kind() != kind) Fail(line, std::string(c.tmpl->name) + " is not " + what);
    if (!c.enabled) Fail(line, std::string(c.tmpl->name) + " is disabled");
  };

  if (command == "type") {
    Control& c = ControlArgument(dialog, line, arg(1));
    requireKind(c, ControlKind::Edit, "an edit");
    for (const std::string& text : KeystrokePrefixes(arg(2))) dialog.UserEditText(c.Id(), text);
  } else if (command == "paste") {
    // The whole text in one change, as a paste or a deletion makes it.
    Control& c = ControlArgument(dialog, line, arg(1));
    requireKind(c, ControlKind::Edit, "an edit");
    dialog.UserEditText(c.Id(), arg(2));
  } else if (command == "click") {
    Control& c = ControlArgument(dialog, line, arg(1));
    if (c.Kind() != ControlKind::PushButton && c.Kind() != ControlKind::CheckBox)
      Fail(line, std::string(c.tmpl->name) + " is not a button");
    if (!c.enabled) Fail(line, std::string(c.tmpl->name) + " is disabled");
    dialog.UserClick(c.Id());
  } else if (command == "select") {
    Control& c = ControlArgument(dialog, line, arg(1));
    requireKind(c, ControlKind::ComboBox, "a list");
    const std::string& index = arg(2);
    const bool number = !index.empty() && index.size() < 7 &&
                        std::all_of(index.begin(), index.end(), [](unsigned char ch) { return std::isdigit(ch); });
    if (!number || std::stoi(index) >= static_cast<int>(c.items.size()))
      Fail(line, std::string(c.tmpl->name) + " has no entry " + index);
    dialog.UserSelect(c.Id(), std::stoi(index));
  } else if (command == "files") {
    std::vector<std::string> paths;
    for (std::size_t k = 1; k < line.words.size(); ++k) {
      auto expanded = Expand(arg(k));
      for (auto& p : expanded) paths.push_back(std::filesystem::absolute(p).lexically_normal().string());
    }
    pendingFiles_ = std::move(paths);
  } else if (command == "paint") {
    dialog.SendMessage(WM_PAINT);
  } else if (command == "about") {
    const auto& items = dialog.SystemMenu().Items();
    const auto about =
        std::find_if(items.begin(), items.end(), [](const MenuItem& m) { return !(m.flags & MF_SEPARATOR); });
    if (about == items.end()) Fail(line, "the system menu has no About entry");
    dialog.SendMessage(WM_SYSCOMMAND, about->id);
  } else if (command == "show") {
    const Control& c = ControlArgument(dialog, line, arg(1));
    out_ << c.tmpl->name << ": " << c.Describe() << std::endl;
  } else if (command == "expect") {
    const Control& c = ControlArgument(dialog, line, arg(1));
    if (c.Describe() != arg(2))
      Fail(line, "expected " + std::string(c.tmpl->name) + ": " + arg(2) + ", found: " + c.Describe(),
           kExitExpectFailed);
  } else if (command == "save-map") {
    SaveImage(line, arg(1), dialog.ClientSurface(), kMapRect);
  } else if (command == "save-panel") {
    const auto& controls = dialog.Controls();
    const auto picture = std::find_if(controls.begin(), controls.end(),
                                      [](const Control& c) { return c.Kind() == ControlKind::Picture && c.bitmap; });
    if (picture == controls.end()) Fail(line, "there is no panel bitmap");
    const PixelSurface& panel = picture->bitmap->Surface();
    SaveImage(line, arg(1), panel, {0, 0, panel.Width(), panel.Height()});
  } else if (command == "save-window") {
    PixelSurface window = dialog.ClientSurface();
    for (const Control& c : dialog.Controls()) {
      if (c.Kind() != ControlKind::Picture || !c.bitmap) continue;
      const CRect r = c.tmpl->PixelRect();
      const PixelSurface& bmp = c.bitmap->Surface();
      window.StretchFrom(bmp, r.left, r.top, bmp.Width(), bmp.Height(), 0, 0, bmp.Width(), bmp.Height());
    }
    SaveImage(line, arg(1), window, {0, 0, window.Width(), window.Height()});
  } else if (command == "close") {
    dialog.SendMessage(WM_SYSCOMMAND, SC_CLOSE);
  }
}

std::optional<std::vector<std::string>> HeadlessHost::ChooseFiles(const FileDialogRequest&) {
  // Answered by the last `files` line; without one the dialog is cancelled.
  auto answer = std::move(pendingFiles_);
  pendingFiles_.reset();
  return answer;
}

void HeadlessHost::ShowMessage(const std::string& text) { err_ << "varnel: " << text << std::endl; }

void HeadlessHost::ReportInvalid(CDialog&, const Control& control, const std::string& message) {
  err_ << "varnel: " << control.tmpl->name << ": " << message << std::endl;
}
