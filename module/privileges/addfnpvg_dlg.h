// CAddFuncPvgDlg: adds one entry to the privilege catalogue ("UUSRFN"). The manual form
// takes a code, a description and a type; the command form registers a captured menu or
// toolbar command of the host, its code made from a scope, the command and its context
// text. The entry takes the next free NID and the next free position.
#pragma once

#include <string>

#include "cool_dialog.h"

namespace hrz {

class CAddFuncPvgDlg : public CCoolDialog {
 public:
  // command null or empty: the manual form. Each text keeps at most 127 characters.
  CAddFuncPvgDlg(const char* command, const char* context);

 protected:
  BOOL OnInitDialog() override;

 private:
  void OnStore();
  void OnScopeChange();
  // "[scope].[command].[context]"; the scope is empty for "all", the host's name for "current".
  std::string CommandCode() const;
  // Reports why the entry cannot be stored, or inserts it; true when inserted.
  bool InsertEntry(const std::string& code, const std::string& type, const std::string& desc);

  std::string command_;
  std::string context_;
};

}  // namespace hrz
