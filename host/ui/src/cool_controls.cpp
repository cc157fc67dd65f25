#include "cool_controls.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QValidator>

#include <algorithm>
#include <cstring>
#include <utility>

#include "control_factory.h"
#include "hrzcommon/text.h"

namespace {

QString ColorName(COLORREF color) {
  return QColor(GetRValue(color), GetGValue(color), GetBValue(color)).name();
}

// Limits what the user types or pastes to a number of characters (code points, as the
// module counts them) without touching text set by the program. A paste that does not fit
// keeps the part that does, as the platform edit does.
class LengthLimit : public QValidator {
 public:
  LengthLimit(int limit, QLineEdit* edit)
      : QValidator(edit), limit_(limit), edit_(edit), before_(edit->text()) {
    // The edit sets a text cut here anew, which clears its modified flag: the user changed it.
    connect(edit, &QLineEdit::textEdited, this, [this] {
      if (std::exchange(cut_, false)) edit_->setModified(true);
    });
  }

  State validate(QString& input, int& cursor) const override {
    const qsizetype chars = Characters(input);
    const qsizetype charsBefore = Characters(before_);
    // The program's own text, a change within the limit and a deletion are taken as they are.
    if (chars <= limit_ || !edit_->isModified() || chars <= charsBefore) {
      before_ = input;
      return Acceptable;
    }
    // The program's text beyond the limit takes nothing more.
    if (charsBefore > limit_) return Invalid;
    // The inserted text ends at the cursor and has at least chars - charsBefore characters,
    // which is no fewer than those over the limit: cut those from its end.
    int cut = cursor;
    for (qsizetype over = chars - limit_; over > 0 && cut > 0; --over) {
      --cut;
      if (cut > 0 && input[cut].isLowSurrogate() && input[cut - 1].isHighSurrogate()) --cut;
    }
    input.remove(cut, cursor - cut);
    cursor = cut;
    if (input == before_) return Invalid;  // nothing of it fits: the edit undoes the change
    before_ = input;
    cut_ = true;
    return Acceptable;
  }
  int Limit() const { return limit_; }

 private:
  static qsizetype Characters(const QString& text) { return text.toUcs4().size(); }

  int limit_;
  QLineEdit* edit_;
  mutable QString before_;    // the text as last accepted
  mutable bool cut_ = false;  // validate cut the text that the edit is about to set
};

// Adding an item neither selects it nor changes the edited text (Qt selects the first item
// added to an empty list).
void InsertKeepingSelection(QComboBox* combo, int index, const QString& text) {
  QString edited = combo->currentText();
  bool hadSelection = combo->currentIndex() >= 0;
  combo->insertItem(index, text);
  if (!hadSelection) combo->setCurrentIndex(-1);
  if (combo->isEditable() && combo->currentText() != edited) combo->setEditText(edited);
}

int ClampIndex(int index, int count) {
  return index >= 0 && index < count ? index : -1;
}

}  // namespace

// ---- CCoolButton -------------------------------------------------------------------

BOOL CCoolButton::Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  QWidget* widget = hrz::CreateControl(hrz::ControlKind::Button, text, style, rect, parent, id);
  if (widget == nullptr) return FALSE;
  Attach(widget);
  return TRUE;
}

void CCoolButton::SetTextColors(COLORREF normal, COLORREF hover, COLORREF pressed, COLORREF focused,
                                COLORREF disabled) {
  auto* button = qobject_cast<QAbstractButton*>(GetWidget());
  if (button == nullptr) return;
  button->setProperty("hrzTextColor", static_cast<uint>(normal));
  const QString sheet = QStringLiteral(
                            "QPushButton { color: %1; } QPushButton:hover { color: %2; }"
                            " QPushButton:pressed { color: %3; }"
                            " QPushButton:focus { color: %4; }"
                            " QPushButton:disabled { color: %5; }")
                            .arg(ColorName(normal), ColorName(hover), ColorName(pressed),
                                 ColorName(focused), ColorName(disabled));
  // Restyling a button rebuilds its style: costly, and every record shown sets the colours.
  if (button->styleSheet() != sheet) button->setStyleSheet(sheet);
}

COLORREF CCoolButton::GetTextColor() const {
  QWidget* widget = GetWidget();
  return widget != nullptr ? widget->property("hrzTextColor").toUInt() : 0;
}

void CCoolButton::SetIcon(HICON icon) {
  auto* button = qobject_cast<QAbstractButton*>(GetWidget());
  if (button == nullptr) return;
  button->setIcon(icon != nullptr ? *reinterpret_cast<const QIcon*>(icon) : QIcon());
}

// ---- CCoolLabel --------------------------------------------------------------------

BOOL CCoolLabel::Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  QWidget* widget = hrz::CreateControl(hrz::ControlKind::Static, text, style, rect, parent, id);
  if (widget == nullptr) return FALSE;
  Attach(widget);
  return TRUE;
}

void CCoolLabel::SetTextFormat(UINT format) {
  auto* label = qobject_cast<QLabel*>(GetWidget());
  if (label == nullptr) return;
  Qt::Alignment alignment = (format & DT_CENTER) != 0  ? Qt::AlignHCenter
                            : (format & DT_RIGHT) != 0 ? Qt::AlignRight
                                                       : Qt::AlignLeft;
  alignment |= (format & DT_VCENTER) != 0  ? Qt::AlignVCenter
               : (format & DT_BOTTOM) != 0 ? Qt::AlignBottom
                                           : Qt::AlignTop;
  label->setAlignment(alignment);
  label->setWordWrap((format & DT_WORDBREAK) != 0 && (format & DT_SINGLELINE) == 0);
  label->setProperty("hrzTextFormat", format);
}

UINT CCoolLabel::GetTextFormat() const {
  QWidget* widget = GetWidget();
  return widget != nullptr ? widget->property("hrzTextFormat").toUInt() : 0;
}

void CCoolLabel::SetTextColor(COLORREF color) {
  QWidget* widget = GetWidget();
  if (widget == nullptr) return;
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText,
                   QColor(GetRValue(color), GetGValue(color), GetBValue(color)));
  widget->setPalette(palette);
}

// ---- CCoolEdit ---------------------------------------------------------------------

BOOL CCoolEdit::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  QWidget* widget = hrz::CreateControl(hrz::ControlKind::Edit, "", style, rect, parent, id);
  if (widget == nullptr) return FALSE;
  Attach(widget);
  return TRUE;
}

void CCoolEdit::LimitText(int maxChars) {
  auto* edit = qobject_cast<QLineEdit*>(GetWidget());
  if (edit == nullptr) return;
  const QValidator* old = edit->validator();
  edit->setValidator(maxChars > 0 ? new LengthLimit(maxChars, edit) : nullptr);
  delete old;
}

int CCoolEdit::GetLimitText() const {
  auto* edit = qobject_cast<QLineEdit*>(GetWidget());
  if (edit == nullptr) return 0;
  auto* limit = dynamic_cast<const LengthLimit*>(edit->validator());
  return limit != nullptr ? limit->Limit() : 0;
}

void CCoolEdit::SetPasswordChar(char ch) {
  if (auto* edit = qobject_cast<QLineEdit*>(GetWidget())) {
    edit->setEchoMode(ch == 0 ? QLineEdit::Normal : QLineEdit::Password);
  }
}

BOOL CCoolEdit::GetModify() const {
  if (auto* edit = qobject_cast<QLineEdit*>(GetWidget())) return edit->isModified() ? TRUE : FALSE;
  if (auto* plain = qobject_cast<QPlainTextEdit*>(GetWidget())) {
    return plain->document()->isModified() ? TRUE : FALSE;
  }
  return FALSE;
}

void CCoolEdit::SetModify(BOOL modified) {
  if (auto* edit = qobject_cast<QLineEdit*>(GetWidget())) edit->setModified(modified != FALSE);
  if (auto* plain = qobject_cast<QPlainTextEdit*>(GetWidget())) {
    plain->document()->setModified(modified != FALSE);
  }
}

void CCoolEdit::SetReadOnly(BOOL readOnly) {
  if (auto* edit = qobject_cast<QLineEdit*>(GetWidget())) edit->setReadOnly(readOnly != FALSE);
  if (auto* plain = qobject_cast<QPlainTextEdit*>(GetWidget()))
    plain->setReadOnly(readOnly != FALSE);
}

void CCoolEdit::SetSel(int start, int end) {
  auto* edit = qobject_cast<QLineEdit*>(GetWidget());
  if (edit == nullptr) return;
  if (start == -1) {
    edit->deselect();
    return;
  }
  int length = edit->text().size();
  if (end < 0 || end > length) end = length;
  edit->setSelection(start, end - start);
}

void CCoolMaskEdit::SetMaskType(int type) {
  if (QWidget* widget = GetWidget()) widget->setProperty("hrzMaskType", type);
}

int CCoolMaskEdit::GetMaskType() const {
  QWidget* widget = GetWidget();
  return widget != nullptr ? widget->property("hrzMaskType").toInt() : 0;
}

// ---- CCoolComboBox -----------------------------------------------------------------

BOOL CCoolComboBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  QWidget* widget = hrz::CreateControl(hrz::ControlKind::ComboBox, "", style, rect, parent, id);
  if (widget == nullptr) return FALSE;
  Attach(widget);
  return TRUE;
}

int CCoolComboBox::AddString(const char* text) {
  auto* combo = qobject_cast<QComboBox*>(GetWidget());
  if (combo == nullptr) return CB_ERR;
  QString value = QString::fromUtf8(text != nullptr ? text : "");
  int index = combo->count();
  if (combo->property("hrzSorted").toBool()) {
    index = 0;
    while (index < combo->count() &&
           QString::compare(combo->itemText(index), value, Qt::CaseInsensitive) <= 0) {
      ++index;
    }
  }
  InsertKeepingSelection(combo, index, value);
  return index;
}

int CCoolComboBox::InsertString(int index, const char* text) {
  auto* combo = qobject_cast<QComboBox*>(GetWidget());
  if (combo == nullptr || index > combo->count()) return CB_ERR;
  if (index < 0) index = combo->count();
  InsertKeepingSelection(combo, index, QString::fromUtf8(text != nullptr ? text : ""));
  return index;
}

int CCoolComboBox::DeleteString(int index) {
  auto* combo = qobject_cast<QComboBox*>(GetWidget());
  if (combo == nullptr || ClampIndex(index, combo->count()) < 0) return CB_ERR;
  combo->removeItem(index);
  return combo->count();
}

void CCoolComboBox::ResetContent() {
  auto* combo = qobject_cast<QComboBox*>(GetWidget());
  if (combo != nullptr) combo->clear();
}

int CCoolComboBox::GetCount() const {
  auto* combo = qobject_cast<QComboBox*>(GetWidget());
  return combo != nullptr ? combo->count() : CB_ERR;
}

int CCoolComboBox::GetCurSel() const {
  auto* combo = qobject_cast<QComboBox*>(GetWidget());
  if (combo == nullptr) return CB_ERR;
  int index = combo->currentIndex();
  // An editable box whose text no longer is the chosen item has no selection.
  if (index >= 0 && combo->isEditable() && combo->currentText() != combo->itemText(index)) {
    return CB_ERR;
  }
  return index;
}

int CCoolComboBox::SetCurSel(int index) {
  auto* combo = qobject_cast<QComboBox*>(GetWidget());
  if (combo == nullptr) return CB_ERR;
  int valid = ClampIndex(index, combo->count());
  combo->setCurrentIndex(valid);
  if (valid < 0 && combo->isEditable()) combo->setEditText(QString());
  return valid < 0 ? CB_ERR : valid;
}

std::string CCoolComboBox::GetLBText(int index) const {
  auto* combo = qobject_cast<QComboBox*>(GetWidget());
  if (combo == nullptr || ClampIndex(index, combo->count()) < 0) return {};
  return combo->itemText(index).toStdString();
}

int CCoolComboBox::GetLBText(int index, char* buffer, int capacity) const {
  auto* combo = qobject_cast<QComboBox*>(GetWidget());
  if (combo == nullptr || buffer == nullptr || capacity <= 0 ||
      ClampIndex(index, combo->count()) < 0) {
    return CB_ERR;
  }
  hrz::CopyBounded(buffer, capacity, combo->itemText(index).toStdString());
  return static_cast<int>(std::strlen(buffer));
}

int CCoolComboBox::FindStringExact(int start, const char* text) const {
  auto* combo = qobject_cast<QComboBox*>(GetWidget());
  if (combo == nullptr || text == nullptr) return CB_ERR;
  QString value = QString::fromUtf8(text);
  int count = combo->count();
  // The search starts after start and wraps round, as the original does.
  for (int step = 1; step <= count; ++step) {
    int index = (start + step + count) % count;
    if (start < 0) index = step - 1;
    if (QString::compare(combo->itemText(index), value, Qt::CaseInsensitive) == 0) return index;
  }
  return CB_ERR;
}

int CCoolComboBox::SelectString(int start, const char* prefix) {
  auto* combo = qobject_cast<QComboBox*>(GetWidget());
  if (combo == nullptr || prefix == nullptr) return CB_ERR;
  QString value = QString::fromUtf8(prefix);
  int count = combo->count();
  for (int step = 1; step <= count; ++step) {
    int index = start < 0 ? step - 1 : (start + step) % count;
    if (combo->itemText(index).startsWith(value, Qt::CaseInsensitive)) return SetCurSel(index);
  }
  return CB_ERR;
}

int CCoolComboBox::SetItemData(int index, DWORD_PTR data) {
  auto* combo = qobject_cast<QComboBox*>(GetWidget());
  if (combo == nullptr || ClampIndex(index, combo->count()) < 0) return CB_ERR;
  combo->setItemData(index, QVariant::fromValue(static_cast<quintptr>(data)));
  return 0;
}

DWORD_PTR CCoolComboBox::GetItemData(int index) const {
  auto* combo = qobject_cast<QComboBox*>(GetWidget());
  if (combo == nullptr || ClampIndex(index, combo->count()) < 0) {
    return static_cast<DWORD_PTR>(CB_ERR);
  }
  return static_cast<DWORD_PTR>(combo->itemData(index).value<quintptr>());
}

void CCoolComboBox::LimitText(int maxChars) {
  auto* combo = qobject_cast<QComboBox*>(GetWidget());
  if (combo == nullptr || combo->lineEdit() == nullptr) return;
  const QValidator* old = combo->lineEdit()->validator();
  combo->lineEdit()->setValidator(maxChars > 0 ? new LengthLimit(maxChars, combo->lineEdit())
                                               : nullptr);
  delete old;
}

bool CCoolComboBox::AutomationSelect(int index) {
  auto* combo = qobject_cast<QComboBox*>(GetWidget());
  if (combo == nullptr || !combo->isEnabled() || ClampIndex(index, combo->count()) < 0) {
    return false;
  }
  combo->setCurrentIndex(index);
  emit combo->activated(index);
  return true;
}

int CCoolComboBox::AutomationSelection() const {
  return GetCurSel();
}

// ---- CCoolCheckBox -----------------------------------------------------------------

BOOL CCoolCheckBox::Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  DWORD type = style & BS_TYPEMASK;
  auto kind = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON ? hrz::ControlKind::RadioButton
                                                                   : hrz::ControlKind::CheckBox;
  QWidget* widget = hrz::CreateControl(kind, text, style, rect, parent, id);
  if (widget == nullptr) return FALSE;
  Attach(widget);
  return TRUE;
}

void CCoolCheckBox::SetCheck(int state) {
  if (auto* check = qobject_cast<QCheckBox*>(GetWidget())) {
    check->setCheckState(state == BST_CHECKED         ? Qt::Checked
                         : state == BST_INDETERMINATE ? Qt::PartiallyChecked
                                                      : Qt::Unchecked);
  } else if (auto* button = qobject_cast<QAbstractButton*>(GetWidget())) {
    button->setChecked(state == BST_CHECKED);
  }
}

int CCoolCheckBox::GetCheck() const {
  if (auto* check = qobject_cast<QCheckBox*>(GetWidget())) {
    switch (check->checkState()) {
      case Qt::Checked:
        return BST_CHECKED;
      case Qt::PartiallyChecked:
        return BST_INDETERMINATE;
      default:
        return BST_UNCHECKED;
    }
  }
  auto* button = qobject_cast<QAbstractButton*>(GetWidget());
  return button != nullptr && button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

// ---- CCoolProgress -----------------------------------------------------------------

BOOL CCoolProgress::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  QWidget* widget = hrz::CreateControl(hrz::ControlKind::Progress, "", style, rect, parent, id);
  if (widget == nullptr) return FALSE;
  Attach(widget);
  return TRUE;
}

void CCoolProgress::SetRange(int lower, int upper) {
  if (auto* bar = qobject_cast<QProgressBar*>(GetWidget())) bar->setRange(lower, upper);
}

void CCoolProgress::GetRange(int* lower, int* upper) const {
  auto* bar = qobject_cast<QProgressBar*>(GetWidget());
  if (lower != nullptr) *lower = bar != nullptr ? bar->minimum() : 0;
  if (upper != nullptr) *upper = bar != nullptr ? bar->maximum() : 0;
}

int CCoolProgress::SetPos(int pos) {
  auto* bar = qobject_cast<QProgressBar*>(GetWidget());
  if (bar == nullptr) return 0;
  int old = GetPos();
  bar->setValue(std::clamp(pos, bar->minimum(), bar->maximum()));
  return old;
}

int CCoolProgress::GetPos() const {
  auto* bar = qobject_cast<QProgressBar*>(GetWidget());
  // A bar that was never moved reports -1 in Qt; it stands at its start.
  return bar != nullptr ? std::max(bar->value(), bar->minimum()) : 0;
}

int CCoolProgress::SetStep(int step) {
  QWidget* widget = GetWidget();
  if (widget == nullptr) return 0;
  int old = widget->property("hrzStep").isValid() ? widget->property("hrzStep").toInt() : 10;
  widget->setProperty("hrzStep", step);
  return old;
}

int CCoolProgress::StepIt() {
  auto* bar = qobject_cast<QProgressBar*>(GetWidget());
  if (bar == nullptr) return 0;
  int step = bar->property("hrzStep").isValid() ? bar->property("hrzStep").toInt() : 10;
  int old = GetPos();
  int next = old + step;
  if (next > bar->maximum()) next = bar->minimum() + (next - bar->maximum());
  bar->setValue(std::clamp(next, bar->minimum(), bar->maximum()));
  return old;
}
