// A host for tests: records what the program shows and answers file dialogs from a queue.
#pragma once

#include <deque>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/host.h"

class TestHost final : public Host {
 public:
  TestHost() { AfxSetHost(this); }
  ~TestHost() override { AfxSetHost(nullptr); }

  INT_PTR RunModal(CDialog& dialog) override {
    dialog.Realise();
    ++modalRuns;
    dialog.EndDialog(IDOK);
    return IDOK;
  }
  void ControlChanged(CDialog&, const Control&) override { ++controlChanges; }
  void TitleChanged(CDialog& dialog) override { titles.push_back(dialog.GetWindowText()); }
  void SurfaceChanged(CDialog&, const CRect&) override { ++surfaceChanges; }
  std::optional<std::vector<std::string>> ChooseFiles(const FileDialogRequest& request) override {
    lastFileRequest = request;
    if (fileAnswers.empty()) return std::nullopt;
    auto answer = std::move(fileAnswers.front());
    fileAnswers.pop_front();
    return answer;
  }
  void ShowMessage(const std::string& text, MessageKind kind) override {
    messages.push_back(text);
    (kind == MessageKind::Error ? errors : notices).push_back(text);
  }
  void ReportInvalid(CDialog&, const Control& control, const std::string& message) override {
    invalid.push_back(std::string(control.tmpl->name) + ": " + message);
  }
  void SetBusy(bool busy) override { busyCalls += busy ? 1 : 0; }
  // The process ends right after: standard error is where a test can see the report was shown.
  void ShowFatalReport(const std::string& text) override { std::cerr << "shown by the host: " << text << std::endl; }
  void ShowTable(const TableView& table) override { tables.push_back(table); }

  std::vector<std::string> messages;  // every one, in order
  std::vector<std::string> errors;
  std::vector<std::string> notices;
  std::vector<std::string> invalid;
  std::vector<TableView> tables;
  std::vector<std::string> titles;  // every title the dialog took, in order
  std::deque<std::optional<std::vector<std::string>>> fileAnswers;  // nullopt: Cancel
  std::optional<FileDialogRequest> lastFileRequest;
  int modalRuns = 0;
  int controlChanges = 0;
  int surfaceChanges = 0;
  int busyCalls = 0;
};
