// The drawing signature of the signed-in user: a drawing file stored on the server and the
// place (X, Y) and height H at which drawings show it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "cool_dialog.h"

namespace hrz {

// The SQL number for an X, Y or H typed by the user, or nothing when it is not one. Signs
// and blanks before the digits combine as the signs of arithmetic do ("+-5" is -5); the
// rest must be digits with at most one ".".
std::optional<std::string> SignPositionLiteral(std::string_view typed);

class CDwgSignDlg : public CCoolDialog {
 public:
  CDwgSignDlg();

 protected:
  BOOL OnInitDialog() override;

 private:
  void OnBrowse();
  void OnOk();
  // The trimmed text of an edit, at most maxChars characters of it.
  std::string EditText(int id, std::size_t maxChars) const;
  int ShowMessage(const char* text);
};

}  // namespace hrz
