#include "cool_dialog.h"

#include <QApplication>
#include <QFontMetrics>
#include <QIcon>
#include <QMetaObject>

#include "automation.h"
#include "control_factory.h"
#include "dialog_widget.h"
#include "platform.h"
#include "platform_ui.h"
#include "resources.h"

namespace {

// A template and its dialog class disagree: say so where a developer looks.
CWnd* ExchangedControl(CDataExchange* pDX, int id) {
  CWnd* control = pDX->m_pDlgWnd->GetDlgItem(id);
  if (control == nullptr) {
    std::string line = "data exchange: dialog " + std::to_string(pDX->m_pDlgWnd->GetTemplateId()) +
                       " has no control " + std::to_string(id) + "\n";
    OutputDebugStringA(line.c_str());
  }
  return control;
}

int MulDiv(int value, int numerator, int denominator) {
  long long product = static_cast<long long>(value) * numerator;
  return static_cast<int>((product + (product >= 0 ? denominator / 2 : -denominator / 2)) /
                          denominator);
}

}  // namespace

// ---- Data exchange -----------------------------------------------------------------

void DDX_Text(CDataExchange* pDX, int id, std::string& value) {
  if (pDX == nullptr || pDX->Failed()) return;
  pDX->m_idLastControl = id;
  CWnd* control = ExchangedControl(pDX, id);
  if (control == nullptr) return;
  if (pDX->m_bSaveAndValidate) {
    value = control->GetWindowText();
  } else {
    control->SetWindowText(value.c_str());
  }
}

void DDX_Text(CDataExchange* pDX, int id, char* buffer, int capacity) {
  if (pDX == nullptr || pDX->Failed() || buffer == nullptr || capacity <= 0) return;
  pDX->m_idLastControl = id;
  CWnd* control = ExchangedControl(pDX, id);
  if (control == nullptr) return;
  if (pDX->m_bSaveAndValidate) {
    control->GetWindowText(buffer, capacity);
  } else {
    control->SetWindowText(buffer);
  }
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
  if (pDX == nullptr || pDX->Failed() || control.GetWidget() != nullptr) return;
  control.SubclassDlgItem(static_cast<UINT>(id), pDX->m_pDlgWnd);
}

void DDV_MaxChars(CDataExchange* pDX, const std::string& value, int maxChars) {
  if (pDX == nullptr || pDX->Failed()) return;
  CWnd* control = pDX->m_pDlgWnd->GetDlgItem(pDX->m_idLastControl);
  if (!pDX->m_bSaveAndValidate) {
    if (auto* edit = dynamic_cast<CCoolEdit*>(control)) edit->LimitText(maxChars);
    if (auto* combo = dynamic_cast<CCoolComboBox*>(control)) combo->LimitText(maxChars);
    return;
  }
  if (QString::fromUtf8(value).toUcs4().size() <= maxChars) return;
  std::string notice = "Enter no more than " + std::to_string(maxChars) + " characters.";
  MessageBoxA(pDX->m_pDlgWnd->GetSafeHwnd(), notice.c_str(),
              pDX->m_pDlgWnd->GetWindowText().c_str(), MB_OK | MB_ICONEXCLAMATION);
  if (control != nullptr) control->SetFocus();
  pDX->Fail();
}

// ---- CCoolDialog -------------------------------------------------------------------

CCoolDialog::CCoolDialog(UINT templateId, CWnd* parent)
    : templateId_(templateId), parent_(parent) {}

CCoolDialog::~CCoolDialog() {
  Detach();
  window_.reset();
}

bool CCoolDialog::CreateWindow(const hrz::DialogTemplate& dialogTemplate) {
  QWidget* owner = parent_ != nullptr ? parent_->GetWidget() : QApplication::activeWindow();
  window_ = std::make_unique<hrz::DialogWidget>(this, owner);
  Attach(window_.get());
  QFont font = QApplication::font();
  font.setPointSize(dialogTemplate.fontPointSize);
  window_->setFont(font);
  QFontMetrics metrics(font);
  int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseX_ = (letters / 26 + 1) / 2;
  baseY_ = metrics.height();
  window_->setWindowTitle(QString::fromUtf8(dialogTemplate.caption));
  window_->setObjectName(QStringLiteral("dlg%1").arg(templateId_));

  RECT client{0, 0, dialogTemplate.rect.right - dialogTemplate.rect.left,
              dialogTemplate.rect.bottom - dialogTemplate.rect.top};
  MapDialogRect(&client);
  if ((dialogTemplate.style & WS_THICKFRAME) != 0) {
    window_->resize(client.right, client.bottom);
  } else {
    window_->setFixedSize(client.right, client.bottom);
  }
  for (const hrz::ControlTemplate& control : dialogTemplate.controls) {
    RECT rect = control.rect;
    MapDialogRect(&rect);
    hrz::CreateControl(control,
                       QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top),
                       window_.get());
  }
  return true;
}

INT_PTR CCoolDialog::DoModal() {
  if (running_ || qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return -1;
  const hrz::DialogTemplate* dialogTemplate =
      hrz::FindDialogTemplate(static_cast<int>(templateId_));
  if (dialogTemplate == nullptr || !CreateWindow(*dialogTemplate)) return -1;
  running_ = true;
  result_ = IDCANCEL;
  // The window gives the focus to its first control unless the dialog has placed it.
  OnInitDialog();

  if (running_) {
    if (hrz::Automation* automation = hrz::GetAutomation()) {
      QMetaObject::invokeMethod(
          window_.get(),
          [this, automation] {
            automation->OnDialogInit(*this);
            if (running_) EndDialog(IDCANCEL);
          },
          Qt::QueuedConnection);
    }
    window_->WatchKeys(true);
    window_->exec();
    window_->WatchKeys(false);
  }
  running_ = false;
  OnDestroy();
  for (const auto& [id, qtId] : timers_) window_->killTimer(qtId);
  timers_.clear();
  Detach();
  window_.reset();
  return result_;
}

void CCoolDialog::EndDialog(int result) {
  result_ = result;
  running_ = false;
  if (window_ != nullptr && window_->isVisible()) window_->done(result);
}

void CCoolDialog::MapDialogRect(RECT* rect) const {
  if (rect == nullptr) return;
  rect->left = MulDiv(rect->left, baseX_, 4);
  rect->right = MulDiv(rect->right, baseX_, 4);
  rect->top = MulDiv(rect->top, baseY_, 8);
  rect->bottom = MulDiv(rect->bottom, baseY_, 8);
}

void CCoolDialog::SetIcon(HICON icon, BOOL) {
  if (window_ != nullptr && icon != nullptr) {
    window_->setWindowIcon(*reinterpret_cast<const QIcon*>(icon));
  }
}

BOOL CCoolDialog::UpdateData(BOOL saveAndValidate) {
  CDataExchange exchange(this, saveAndValidate);
  DoDataExchange(&exchange);
  return exchange.Failed() ? FALSE : TRUE;
}

UINT_PTR CCoolDialog::SetTimer(UINT_PTR id, UINT elapseMs) {
  if (window_ == nullptr) return 0;
  KillTimer(id);
  int qtId = window_->startTimer(static_cast<int>(elapseMs));
  if (qtId == 0) return 0;
  timers_[id] = qtId;
  return id;
}

BOOL CCoolDialog::KillTimer(UINT_PTR id) {
  auto it = timers_.find(id);
  if (it == timers_.end() || window_ == nullptr) return FALSE;
  window_->killTimer(it->second);
  timers_.erase(it);
  return TRUE;
}

BOOL CCoolDialog::OnCommand(WPARAM wParam, LPARAM) {
  int id = LOWORD(wParam);
  int code = HIWORD(wParam);
  auto it = handlers_.find({id, code});
  if (it != handlers_.end()) {
    it->second();
    return TRUE;
  }
  if (code != BN_CLICKED) return FALSE;
  if (id == IDOK) {
    OnOK();
    return TRUE;
  }
  if (id == IDCANCEL) {
    OnCancel();
    return TRUE;
  }
  return FALSE;
}

BOOL CCoolDialog::PreTranslateMessage(MSG*) {
  return FALSE;
}
void CCoolDialog::OnSize(UINT, int, int) {}
void CCoolDialog::OnPaint(CDC&) {}
void CCoolDialog::OnTimer(UINT_PTR) {}

BOOL CCoolDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CCoolDialog::OnOK() {
  if (UpdateData(TRUE)) EndDialog(IDOK);
}

void CCoolDialog::OnCancel() {
  EndDialog(IDCANCEL);
}
void CCoolDialog::OnDestroy() {}
void CCoolDialog::DoDataExchange(CDataExchange*) {}
void CCoolDialog::OnClose() {
  SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED));
}
