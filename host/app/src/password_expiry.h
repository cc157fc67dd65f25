// Whether the logged-on user must change the password before working: the mark 20000101
// in "DMODIPWD" (change at next logon), or a lifetime "NPWDDAYS" that has run out since
// the last change.
#pragma once

struct tagXCliDB;

namespace hrzhost {

// Days between two date numbers (yyyymmdd); 0 when either is not a valid date.
int DaysBetween(int fromYyyymmdd, int toYyyymmdd);

// False too when the user's row cannot be read: the server decides at logon anyway.
bool PasswordExpired(tagXCliDB* db);

class MainWindow;

// After logon: true when the user may work, because the password has not expired or the
// module's "XCHGEXPIREDPWD" wrote "OK". Otherwise it says why in a message box and gives
// false; the caller then logs off.
bool ExpiredPasswordChanged(MainWindow& window, tagXCliDB* db);

}  // namespace hrzhost
