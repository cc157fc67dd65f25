// Screenshot mode: every dialog that opens is saved as a PNG and cancelled; message boxes
// are answered with their safe button (OK alone, else Cancel or No).
#pragma once

#include <string>
#include <vector>

#include "automation.h"

namespace hrzhost {

class ScreenshotAutomation : public hrz::ScriptedAutomation {
 public:
  explicit ScreenshotAutomation(std::string folder) : folder_(std::move(folder)) {}

  // Names the PNGs of the dialogs that open from now on ("<name>.png", nested ones
  // "<name>-<template id>.png").
  void SetName(std::string name) {
    name_ = std::move(name);
    depth_ = 0;
  }
  const std::vector<std::string>& Written() const { return written_; }
  const std::vector<std::string>& Failed() const { return failed_; }

  void OnDialogInit(CCoolDialog& dialog) override;
  int AnswerMessageBox(const hrz::MessageBoxCall& call) override;

 private:
  std::string folder_;
  std::string name_ = "dialog";
  int depth_ = 0;
  std::vector<std::string> written_;
  std::vector<std::string> failed_;
};

}  // namespace hrzhost
