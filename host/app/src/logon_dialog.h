// The logon dialog: server location (a store file or tcp://host:port), user code and
// password. OK opens the connection and logs on; a failure is shown and the dialog stays.
// On first contact with a TLS server the user is shown its certificate's fingerprint and
// asked to trust it; a server whose certificate changed is refused.
#pragma once

#include <string>

#include "cool_dialog.h"

struct tagXCliDB;

namespace hrzhost {

class LogonDialog : public CCoolDialog {
 public:
  LogonDialog(std::string location, std::string user);
  ~LogonDialog() override;

  // The logged-on connection after IDOK; the caller takes it over.
  tagXCliDB* TakeConnection();
  const std::string& Location() const { return location_; }
  const std::string& User() const { return user_; }

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  void OnOK() override;

 private:
  // True when the server of location_ may be talked to, asking the user on first contact.
  bool ServerTrusted();

  std::string location_;
  std::string user_;
  std::string password_;
  tagXCliDB* db_ = nullptr;
};

// The message for a refused logon.
std::string LogonFailureText(int status, const char* replyText);

}  // namespace hrzhost
