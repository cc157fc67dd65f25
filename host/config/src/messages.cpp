#include "messages.h"

#include <map>
#include <string_view>
#include <utility>

namespace hrzcfg {
namespace {

using Key = std::pair<std::string_view, std::string_view>;

const std::map<Key, const char*>& Catalogue() {
  static const std::map<Key, const char*> texts = {
      // Change password and the rule texts shown with it.
      {{"dlg_chgpwd", "dlg_cap"}, "Change password of %s"},
      {{"dlg_chgpwd", "btn_ok"}, "OK"},
      {{"dlg_chgpwd", "btn_close"}, "Close"},
      {{"dlg_chgpwd", "btn_cancel"}, "Cancel"},
      {{"dlg_chgpwd", "lbl_old_pwd"}, "Old password"},
      {{"dlg_chgpwd", "lbl_new_pwd"}, "New password"},
      {{"dlg_chgpwd", "lbl_re_pwd"}, "Confirm password"},
      {{"dlg_chgpwd", "pwd expired"}, "Your password has expired. Please choose a new one."},
      {{"dlg_chgpwd", "empty pwd"}, "The new password is empty. Use an empty password?"},
      {{"dlg_chgpwd", "overflow pwd"}, "The password may have at most 16 characters."},
      {{"dlg_chgpwd", "re pwd not same"}, "The new password and its confirmation differ."},
      {{"dlg_chgpwd", "change_done"}, "The password has been changed."},
      {{"dlg_chgpwd", "change_fail"}, "The password could not be changed."},
      {{"dlg_chgpwd", "no_right"}, "You have no right to change this password."},
      {{"dlg_chgpwd", "invalid pwd"}, "The password contains characters that are not allowed."},
      {{"dlg_chgpwd", "pwd not rule"}, "The password does not follow the password rule:"},
      {{"dlg_chgpwd", "pwd min len"}, "Minimum length"},
      {{"dlg_chgpwd", "no limit"}, "No limit"},
      {{"dlg_chgpwd", "pwd inc caps"}, "Contains upper- and lower-case letters"},
      {{"dlg_chgpwd", "pwd inc num"}, "Contains a digit"},
      {{"dlg_chgpwd", "pwd inc spec"}, "Contains a special character"},
      {{"dlg_chgpwd", "dlg_cap_pwdrule"}, "Password rule"},
      {{"dlg_chgpwd", "pwd chg days"}, "Change every (days)"},
      {{"dlg_chgpwd", "pwd days err"}, "The number of days must be a whole number from 0 to 999."},
      {{"dlg_chgpwd", "lgn chg pwd"}, "Change the password at the next logon"},
      {{"dlg_chgpwd", "rule new user"}, "Apply this rule to new users"},
      {{"dlg_chgpwd", "rule old user"}, "Apply this rule to all existing users"},
      {{"dlg_chgpwd", "mb_cap"}, "Change password"},
      // Logon and lock messages of the server's replies.
      {{"dlg_lock_system", "pwd incorrect"}, "The old password is not correct."},
      {{"dlg_lock_system", "user locked"},
       "This account is locked after too many failed logons. Ask an administrator to unlock it."},
      {{"dlg_lock_system", "adm locked"},
       "The administrator account is locked after too many failed logons. Try again tomorrow."},
      // The user manager's texts that the password dialogs share.
      {{"dlg_userman", "MSG_LOGON_WRONG_PWD"}, "The password is not correct."},
      {{"dlg_userman", "MSG_LOGON_PWD_TRY_LEFT"},
       " %d more attempts before the account is locked."},
      {{"dlg_userman", "pwd not same"}, "The password and its confirmation differ."},
      {{"dlg_userman", "change_fail"}, "The change could not be saved."},
      {{"dlg_userman", "no pvg"}, "You have no privilege for this command."},
      {{"dlg_userman", "mb_cap"}, "User management"},
  };
  return texts;
}

}  // namespace

const char* MessageText(std::string_view section, std::string_view key) {
  const auto& texts = Catalogue();
  auto it = texts.find({section, key});
  return it != texts.end() ? it->second : nullptr;
}

}  // namespace hrzcfg
