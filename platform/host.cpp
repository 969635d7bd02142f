#include "platform/host.h"

#include <algorithm>
#include <iostream>

#include "platform/dialog.h"

namespace {

// The host before the program's entry chooses one (tests that drive a dialog directly): no
// window, dialogs end as soon as they are shown, messages go to standard error.
class QuietHost final : public Host {
 public:
  INT_PTR RunModal(CDialog& dialog) override {
    dialog.Realise();
    return IDOK;
  }
  void ControlChanged(CDialog&, const Control&) override {}
  void TitleChanged(CDialog&) override {}
  void SurfaceChanged(CDialog&, const CRect&) override {}
  std::optional<std::vector<std::string>> ChooseFiles(const FileDialogRequest&) override { return std::nullopt; }
  void ShowMessage(const std::string& text, MessageKind) override { std::cerr << "varnel: " << text << std::endl; }
  void ReportInvalid(CDialog&, const Control& control, const std::string& message) override {
    std::cerr << "varnel: " << control.tmpl->name << ": " << message << std::endl;
  }
  void SetBusy(bool) override {}
  void ShowFatalReport(const std::string&) override {}
  void ShowTable(const TableView&) override {}
};

QuietHost g_quietHost;
Host* g_host = &g_quietHost;

}  // namespace

Host& AfxGetHost() { return *g_host; }

void AfxSetHost(Host* host) { g_host = host ? host : &g_quietHost; }

std::size_t LeadingOptionWords(const std::vector<std::string>& answer, OptionWordCount optionWords) {
  std::size_t k = 0;
  while (optionWords && k < answer.size()) {
    const std::size_t words = optionWords(answer[k]);
    if (words == 0) break;
    k = std::min(answer.size(), k + words);
  }
  return k;
}

int AfxMessageBox(const std::string& text, UINT type) {
  AfxGetHost().ShowMessage(text, (type & MB_ICONINFORMATION) == MB_ICONINFORMATION ? MessageKind::Notice
                                                                                  : MessageKind::Error);
  return IDOK;
}
