// Screenshot mode: every dialog that opens is saved as a PNG and cancelled; message boxes
// are answered with their safe button (OK alone, else Cancel or No). A dialog may also be
// shown at work: scenes act on it as a user would, each followed by a picture of its own.
#pragma once

#include <deque>
#include <functional>
#include <map>
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
  struct Scene {
    std::string suffix;  // the picture is "<name>-<suffix>.png"
    std::function<void(hrz::DialogDriver&)> act;
  };
  // A later run of the template plays these scenes in order after its first picture: the
  // next run that no earlier call's scenes wait for.
  void AddScenes(int templateId, std::vector<Scene> scenes);
  // The next message box that asks is answered with its OK or Yes button, not the safe one.
  void ConfirmNextQuestion() { ++confirmations_; }

  const std::vector<std::string>& Written() const { return written_; }
  const std::vector<std::string>& Failed() const { return failed_; }

  void OnDialogInit(CCoolDialog& dialog) override;
  int AnswerMessageBox(const hrz::MessageBoxCall& call) override;

 private:
  void Save(CCoolDialog& dialog, const std::string& file);

  std::string folder_;
  std::string name_ = "dialog";
  int depth_ = 0;
  std::map<int, std::deque<std::vector<Scene>>> scenes_;  // by template, run after run
  int confirmations_ = 0;
  std::vector<std::string> written_;
  std::vector<std::string> failed_;
};

}  // namespace hrzhost
