#include "automation.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "cool_dialog.h"
#include "dialog_widget.h"
#include "platform_ui.h"

namespace hrz {
namespace {

Automation* g_automation = nullptr;  // UI thread only

int FirstButtonOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_YESNO:
    case MB_YESNOCANCEL:
      return IDYES;
    default:
      return IDOK;
  }
}

}  // namespace

Automation* InstallAutomation(Automation* automation) {
  Automation* previous = g_automation;
  g_automation = automation;
  SetPlatformAutomation(automation);
  return previous;
}

Automation* GetAutomation() {
  return g_automation;
}

// ---- DialogDriver ------------------------------------------------------------------

namespace {

QWidget* Control(const CCoolDialog& dialog, int id) {
  CWnd* item = dialog.GetDlgItem(id);
  return item != nullptr ? item->GetWidget() : nullptr;
}

bool Usable(const QWidget* widget) {
  return widget != nullptr && widget->isEnabled() && widget->isVisibleTo(widget->window());
}

// A field of the record form in the container control id, by its name.
QWidget* Field(const CCoolDialog& dialog, int id, const char* name) {
  QWidget* container = Control(dialog, id);
  if (container == nullptr || name == nullptr) return nullptr;
  return container->findChild<QWidget*>(QString::fromUtf8(name));
}

// Replaces the text of an edit or editable combo box as a user's typing would.
bool TypeInto(QWidget* widget, const std::string& text) {
  if (!Usable(widget)) return false;
  QString value = QString::fromUtf8(text);
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    if (edit->isReadOnly()) return false;
    edit->setText(value);
    edit->setModified(true);  // as typed by the user
    return true;
  }
  if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
    if (plain->isReadOnly()) return false;
    plain->setPlainText(value);
    plain->document()->setModified(true);
    return true;
  }
  if (auto* combo = qobject_cast<QComboBox*>(widget); combo != nullptr && combo->isEditable()) {
    combo->setEditText(value);
    return true;
  }
  return false;
}

bool Press(QWidget* widget) {
  auto* button = qobject_cast<QAbstractButton*>(widget);
  if (!Usable(button)) return false;
  // A click takes the focus as the mouse's does: a handler may ask where the focus is.
  if ((button->focusPolicy() & Qt::ClickFocus) != 0) button->setFocus(Qt::MouseFocusReason);
  button->click();
  return true;
}

}  // namespace

int DialogDriver::TemplateId() const {
  return static_cast<int>(dialog_.GetTemplateId());
}

std::string DialogDriver::Caption() const {
  return dialog_.GetWindowText();
}

bool DialogDriver::Has(int id) const {
  return Control(dialog_, id) != nullptr;
}

bool DialogDriver::IsEnabled(int id) const {
  QWidget* widget = Control(dialog_, id);
  return widget != nullptr && widget->isEnabled();
}

bool DialogDriver::IsVisible(int id) const {
  QWidget* widget = Control(dialog_, id);
  return widget != nullptr && widget->isVisibleTo(widget->window());
}

std::string DialogDriver::Text(int id) const {
  return dialog_.GetDlgItemText(id);
}

bool DialogDriver::SetText(int id, const std::string& text) {
  return TypeInto(Control(dialog_, id), text);
}

bool DialogDriver::Paste(int id, const std::string& text) {
  QWidget* widget = Control(dialog_, id);
  if (!Usable(widget)) return false;
  auto* edit = qobject_cast<QLineEdit*>(widget);
  if (auto* combo = qobject_cast<QComboBox*>(widget)) edit = combo->lineEdit();
  if (edit == nullptr || edit->isReadOnly()) return false;
  edit->selectAll();
  edit->insert(QString::fromUtf8(text));  // what the edit's own paste does with the clipboard
  return true;
}

int DialogDriver::Check(int id) const {
  auto* check = dynamic_cast<CCoolCheckBox*>(dialog_.GetDlgItem(id));
  if (check == nullptr || qobject_cast<QAbstractButton*>(check->GetWidget()) == nullptr) return -1;
  return check->GetCheck();
}

bool DialogDriver::SetCheck(int id, int state) {
  auto* button = qobject_cast<QAbstractButton*>(Control(dialog_, id));
  if (!Usable(button) || !button->isCheckable()) return false;
  for (int clicks = 0; clicks < 3 && Check(id) != state; ++clicks) button->click();
  return Check(id) == state;
}

bool DialogDriver::Click(int id) {
  return Press(Control(dialog_, id));
}

int DialogDriver::Selection(int id) const {
  CWnd* item = dialog_.GetDlgItem(id);
  return item != nullptr ? item->AutomationSelection() : -1;
}

bool DialogDriver::Select(int id, int index) {
  CWnd* item = dialog_.GetDlgItem(id);
  return item != nullptr && Usable(item->GetWidget()) && item->AutomationSelect(index);
}

bool DialogDriver::Activate(int id, int index) {
  CWnd* item = dialog_.GetDlgItem(id);
  return item != nullptr && Usable(item->GetWidget()) && item->AutomationActivate(index);
}

bool DialogDriver::ClickPart(int id, int index, int part) {
  CWnd* item = dialog_.GetDlgItem(id);
  return item != nullptr && Usable(item->GetWidget()) && item->AutomationClickPart(index, part);
}

int DialogDriver::FindItem(int id, const std::string& text) const {
  CWnd* item = dialog_.GetDlgItem(id);
  return item != nullptr ? item->AutomationFindItem(text) : -1;
}

int DialogDriver::ItemCheck(int id, int index) const {
  CWnd* item = dialog_.GetDlgItem(id);
  return item != nullptr ? item->AutomationItemCheck(index) : -1;
}

bool DialogDriver::PressKey(int id, int virtualKey) {
  return KeyOn(Control(dialog_, id), virtualKey);
}

bool DialogDriver::KeyOn(QWidget* widget, int virtualKey) {
  if (!Usable(widget)) return false;
  widget->setFocus(Qt::OtherFocusReason);
  QKeyEvent press(QEvent::KeyPress, QtKeyOf(virtualKey), Qt::NoModifier);
  QKeyEvent release(QEvent::KeyRelease, QtKeyOf(virtualKey), Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
  if (dialog_.GetWidget() != nullptr) QApplication::sendEvent(widget, &release);
  return true;
}

bool DialogDriver::HasField(int id, const char* name) const {
  return Field(dialog_, id, name) != nullptr;
}

std::string DialogDriver::FieldText(int id, const char* name) const {
  QWidget* field = Field(dialog_, id, name);
  if (auto* edit = qobject_cast<QLineEdit*>(field)) return edit->text().toStdString();
  if (auto* combo = qobject_cast<QComboBox*>(field)) return combo->currentText().toStdString();
  if (auto* button = qobject_cast<QAbstractButton*>(field)) return button->text().toStdString();
  return {};
}

int DialogDriver::FieldCheck(int id, const char* name) const {
  auto* button = qobject_cast<QAbstractButton*>(Field(dialog_, id, name));
  if (button == nullptr || !button->isCheckable()) return -1;
  return button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

bool DialogDriver::SetFieldText(int id, const char* name, const std::string& text) {
  return TypeInto(Field(dialog_, id, name), text);
}

bool DialogDriver::ClickField(int id, const char* name) {
  return Press(Field(dialog_, id, name));
}

bool DialogDriver::PressFieldKey(int id, const char* name, int virtualKey) {
  return KeyOn(Field(dialog_, id, name), virtualKey);
}

bool DialogDriver::IsFieldUsable(int id, const char* name) const {
  QWidget* field = Field(dialog_, id, name);
  auto* edit = qobject_cast<QLineEdit*>(field);
  return Usable(field) && (edit == nullptr || !edit->isReadOnly());
}

bool DialogDriver::IsFieldVisible(int id, const char* name) const {
  QWidget* field = Field(dialog_, id, name);
  return field != nullptr && field->isVisibleTo(field->window());
}

bool DialogDriver::HasFocus(int id, const char* name) const {
  QWidget* widget = name != nullptr ? Field(dialog_, id, name) : Control(dialog_, id);
  return widget != nullptr && QApplication::focusWidget() == widget;
}

void DialogDriver::End(int result) {
  dialog_.EndDialog(result);
}

QImage DialogDriver::Grab() const {
  QWidget* window = dialog_.GetWidget();
  return window != nullptr ? window->grab().toImage() : QImage();
}

// ---- ScriptedAutomation ------------------------------------------------------------

void ScriptedAutomation::OnDialog(int templateId, DialogAction action) {
  actions_[templateId].push_back(std::move(action));
}

void ScriptedAutomation::OnDialogInit(CCoolDialog& dialog) {
  int id = static_cast<int>(dialog.GetTemplateId());
  dialogs_.push_back(id);
  auto it = actions_.find(id);
  if (it == actions_.end() || it->second.empty()) return;  // left open: cancelled
  DialogAction action = std::move(it->second.front());
  it->second.erase(it->second.begin());
  DialogDriver driver(dialog);
  action(driver);
}

int ScriptedAutomation::AnswerMessageBox(const MessageBoxCall& call) {
  boxes_.push_back(call);
  if (boxAnswers_.empty()) return FirstButtonOf(call.type);
  int answer = boxAnswers_.front();
  boxAnswers_.erase(boxAnswers_.begin());
  return answer;
}

bool ScriptedAutomation::AnswerFileDialog(const FileDialogCall& call, std::string* path) {
  files_.push_back(call);
  if (fileAnswers_.empty()) return false;
  *path = fileAnswers_.front();
  fileAnswers_.erase(fileAnswers_.begin());
  return !path->empty();
}

bool ScriptedAutomation::AnswerShellOpen(const ShellOpenCall& call) {
  opens_.push_back(call);
  return shellOpened_;
}

}  // namespace hrz
