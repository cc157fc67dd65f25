#include "logon_dialog.h"

#include <cstdlib>

#include "client_version.h"
#include "host_resources.h"
#include "hrzcommon/protocol.h"
#include "platform_ui.h"
#include "store_location.h"
#include "xclidb.h"

namespace hrzhost {

namespace {

namespace protocol = hrz::protocol;

}  // namespace

std::string LogonFailureText(int status, const char* replyText) {
  switch (status) {
    case protocol::kLogonWrong: {
      std::string text = "The user code or the password is not correct.";
      std::string reply = replyText != nullptr ? replyText : "";
      std::string::size_type at = reply.find("pwd_try_left=");
      if (at != std::string::npos) {
        int left = std::atoi(reply.c_str() + at + 13);
        if (left > 0) text += " Attempts left before the lock: " + std::to_string(left) + ".";
      }
      return text;
    }
    case protocol::kLogonLocked:
      return "This account is locked after too many failed logons.";
    case 0:
      return "The server did not answer.";
    default:
      return "The logon was refused (status " + std::to_string(status) + ").";
  }
}

LogonDialog::LogonDialog(std::string location, std::string user)
    : CCoolDialog(IDD_LOGON), location_(std::move(location)), user_(std::move(user)) {}

LogonDialog::~LogonDialog() {
  if (db_ != nullptr) XCliDB_Close(db_);
}

tagXCliDB* LogonDialog::TakeConnection() {
  tagXCliDB* db = db_;
  db_ = nullptr;
  return db;
}

BOOL LogonDialog::OnInitDialog() {
  CCoolDialog::OnInitDialog();
  std::string hint =
      "A store at the default place is created on first start with the sample "
      "organisation: log on as adm with the password \"" +
      std::string(kFirstStartAdminPassword) + "\".";
  SetDlgItemText(IDC_LOGON_HINT, hint.c_str());
  if (CWnd* password = GetDlgItem(IDC_LOGON_PASSWORD)) password->SetFocus();
  return FALSE;
}

void LogonDialog::DoDataExchange(CDataExchange* pDX) {
  DDX_Text(pDX, IDC_LOGON_LOCATION, location_);
  DDV_MaxChars(pDX, location_, 255);
  DDX_Text(pDX, IDC_LOGON_USER, user_);
  DDV_MaxChars(pDX, user_, 127);
  DDX_Text(pDX, IDC_LOGON_PASSWORD, password_);
  DDV_MaxChars(pDX, password_, 127);
}

bool LogonDialog::ServerTrusted() {
  char offered[XCLI_FINGERPRINT_SIZE] = "", pinned[XCLI_FINGERPRINT_SIZE] = "", error[512] = "";
  std::string text;
  UINT style = MB_OK | MB_ICONEXCLAMATION;
  switch (XCliDB_CheckServer(location_.c_str(), offered, pinned, error, sizeof(error))) {
    case XCLI_SERVER_LOCAL:
    case XCLI_SERVER_TRUSTED:
      return true;
    case XCLI_SERVER_NEW:
      text = "This is the first connection to " + location_ +
             ". Its certificate's SHA-256 fingerprint is\n\n" + offered +
             "\n\nCompare it with the fingerprint hrzserver printed when it started. Trust this "
             "server from now on?";
      if (MessageBoxA(GetSafeHwnd(), text.c_str(), "Log on", MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return false;
      }
      if (XCliDB_PinServer(location_.c_str(), offered, error, sizeof(error)) != 0) return true;
      text = std::string("Cannot keep the certificate: ") + error;
      break;
    case XCLI_SERVER_CHANGED:
      text = "The certificate of " + location_ +
             " has changed; the connection is refused, someone may be listening in.\n\nPinned: " +
             pinned + "\nOffered: " + offered +
             "\n\nIf the server's key was replaced on purpose, remove its line from the file "
             "known_servers in your hrzuser configuration folder and log on again.";
      style = MB_OK | MB_ICONHAND;
      break;
    default:
      text = "Cannot open " + location_ + ": " + error;
      break;
  }
  MessageBoxA(GetSafeHwnd(), text.c_str(), "Log on", style);
  return false;
}

void LogonDialog::OnOK() {
  if (!UpdateData(TRUE) || !ServerTrusted()) return;
  char error[256] = "";
  tagXCliDB* db = XCliDB_Open(location_.c_str(), error, sizeof(error));
  if (db == nullptr) {
    std::string text = "Cannot open " + location_ + ": " + error;
    MessageBoxA(GetSafeHwnd(), text.c_str(), "Log on", MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  int status = 0;
  char reply[512] = "";
  if (XCliDB_Logon(db, user_.c_str(), password_.c_str(), kClientVersion, &status, reply,
                   sizeof(reply)) == 0 ||
      status != protocol::kLogonOk) {
    XCliDB_Close(db);
    std::string text = LogonFailureText(status, reply);
    MessageBoxA(GetSafeHwnd(), text.c_str(), "Log on", MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (db_ != nullptr) XCliDB_Close(db_);
  db_ = db;
  EndDialog(IDOK);
}

}  // namespace hrzhost
