// CWaiFaCfgDlg: the outgoing-file limits of one user, how many times and for how long a
// file sent out may be opened. Both are whole numbers, 0 meaning no limit; OK stores them
// in one statement and closes only when the store took them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "cool_dialog.h"

namespace hrz {

// A limit as typed: blanks and tabs around it dropped, empty meaning 0. Nothing when it is
// not a whole number (the number test of the text helpers), is negative or exceeds 32 bits.
std::optional<int> ParseOutgoingLimit(std::string_view typed);

class CWaiFaCfgDlg : public CCoolDialog {
 public:
  explicit CWaiFaCfgDlg(CWnd* parent = nullptr);

  void SetUserNid(int nid) { nid_ = nid; }
  // The texts shown when the dialog opens (at most 511 characters kept); after OK, the
  // stored values as the numbers written ("0" for no limit).
  void SetCountText(std::string_view text);
  void SetTimeText(std::string_view text);
  const std::string& CountText() const { return count_; }
  const std::string& TimeText() const { return time_; }

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;

 private:
  // The limit in edit id; nothing (the edit focused, "illegal data" shown) when it is none.
  std::optional<int> ReadLimit(int id);
  void ShowMessage(const char* text);

  int nid_ = -1;
  std::string count_;
  std::string time_;
};

}  // namespace hrz
