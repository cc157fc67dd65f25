// Automation: what a test or the desktop client's screenshot mode installs to act as the
// user. It is told of every modal dialog once the dialog has initialised (nested dialogs
// too) and answers every message box, file dialog and shell open (platform_automation.h).
// UI thread only.
#pragma once

#include <QImage>

class QWidget;

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform_automation.h"

class CCoolDialog;

namespace hrz {

class Automation : public PlatformAutomation {
 public:
  // Runs inside the dialog's event loop, after OnInitDialog. A dialog that is still open
  // when this returns is cancelled, so that an unattended run never waits for a user.
  virtual void OnDialogInit(CCoolDialog& dialog) = 0;
};

// Installs automation for dialogs and platform prompts (null removes it); returns the
// previous one.
Automation* InstallAutomation(Automation* automation);
Automation* GetAutomation();

// Installs automation for the lifetime of the scope, then puts the previous one back.
class AutomationScope {
 public:
  explicit AutomationScope(Automation* automation) : previous_(InstallAutomation(automation)) {}
  ~AutomationScope() { InstallAutomation(previous_); }
  AutomationScope(const AutomationScope&) = delete;
  AutomationScope& operator=(const AutomationScope&) = delete;

 private:
  Automation* previous_;
};

// Acts on a running dialog by control id as a user would: a disabled or hidden control
// cannot be typed into, clicked or chosen from, and such calls return false.
class DialogDriver {
 public:
  explicit DialogDriver(CCoolDialog& dialog) : dialog_(dialog) {}

  CCoolDialog& Dialog() const { return dialog_; }
  int TemplateId() const;
  std::string Caption() const;

  bool Has(int id) const;
  bool IsEnabled(int id) const;
  bool IsVisible(int id) const;
  std::string Text(int id) const;
  // Replaces the text of an edit or editable combo box, like pasting over it.
  bool SetText(int id, const std::string& text);
  // Selects all the text of an edit or editable combo box and pastes text over it as the user
  // does: the control's length limit applies.
  bool Paste(int id, const std::string& text);
  int Check(int id) const;  // BST_ state; -1 when not a check box
  // Clicks the check box until it shows state (notifying the dialog each time).
  bool SetCheck(int id, int state);
  bool Click(int id);
  int Selection(int id) const;  // combo boxes, and trees and grids through their hooks
  bool Select(int id, int index);
  bool Activate(int id, int index);  // double click on an item
  // Clicks one part of an item (XTREE_PART_CHECK, XTREE_PART_IMAGE of a tree node).
  bool ClickPart(int id, int index, int part);
  int FindItem(int id, const std::string& text) const;  // -1 when none
  int ItemCheck(int id, int index) const;               // -1 no check mark, 0 cleared, 1 set
  // Presses a key in the control (focus first), through the dialog's key handling.
  bool PressKey(int id, int virtualKey);

  // The fields of a record form hosted in the container control id, by their names
  // ("CCODE"), used as the dialog's own controls are.
  bool HasField(int id, const char* name) const;
  std::string FieldText(int id, const char* name) const;
  int FieldCheck(int id, const char* name) const;  // BST_ state; -1 when not a check box
  bool SetFieldText(int id, const char* name, const std::string& text);
  bool ClickField(int id, const char* name);
  bool PressFieldKey(int id, const char* name, int virtualKey);
  // Visible, enabled and, for an edit, not read-only: a user could type into it or press it.
  bool IsFieldUsable(int id, const char* name) const;
  bool IsFieldVisible(int id, const char* name) const;
  // Whether the field (the container itself for a null name) has the keyboard focus.
  bool HasFocus(int id, const char* name = nullptr) const;
  void End(int result);
  QImage Grab() const;

 private:
  bool KeyOn(QWidget* widget, int virtualKey);

  CCoolDialog& dialog_;
};

// Records everything it is asked and answers from scripts: per dialog template a queue of
// actions (each modal run of that template takes the next; none left: the dialog is
// cancelled), and queues of answers for message boxes and file dialogs (none left: the
// first button, Cancel, and "opened").
class ScriptedAutomation : public Automation {
 public:
  using DialogAction = std::function<void(DialogDriver&)>;

  void OnDialog(int templateId, DialogAction action);
  void AnswerNextMessageBox(int answer) { boxAnswers_.push_back(answer); }
  void AnswerNextFileDialog(std::string path) { fileAnswers_.push_back(std::move(path)); }
  void SetShellOpenResult(bool opened) { shellOpened_ = opened; }

  const std::vector<int>& Dialogs() const { return dialogs_; }  // template ids, in order
  const std::vector<MessageBoxCall>& MessageBoxes() const { return boxes_; }
  const std::vector<FileDialogCall>& FileDialogs() const { return files_; }
  const std::vector<ShellOpenCall>& ShellOpens() const { return opens_; }

  void OnDialogInit(CCoolDialog& dialog) override;
  int AnswerMessageBox(const MessageBoxCall& call) override;
  bool AnswerFileDialog(const FileDialogCall& call, std::string* path) override;
  bool AnswerShellOpen(const ShellOpenCall& call) override;

 private:
  std::map<int, std::vector<DialogAction>> actions_;
  std::vector<int> boxAnswers_;
  std::vector<std::string> fileAnswers_;
  bool shellOpened_ = true;
  std::vector<int> dialogs_;
  std::vector<MessageBoxCall> boxes_;
  std::vector<FileDialogCall> files_;
  std::vector<ShellOpenCall> opens_;
};

}  // namespace hrz
