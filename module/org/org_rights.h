// Who may do what in the organisation windows. The server checks every change again; these
// tests only decide what the windows offer.
#pragma once

#include <string>
#include <string_view>

struct tagXCliDB;

namespace hrz {

// The administrator's code, "adm", compared without regard to case and blanks around it.
bool IsAdminCode(std::string_view code);
// The logged-in user's code (trimmed); empty when nobody is logged on.
std::string LoggedOnCode(tagXCliDB* db);
bool LoggedOnAsAdmin(tagXCliDB* db);
// The modify right of a privilege code: the administrator passes without asking; others need
// the modify flag, and a failed query counts as no right.
bool HasModifyRight(tagXCliDB* db, const char* code);
// The privilege test "UUSR": the administrator passes; others need the modify flag.
bool MayModifyOrganisation(tagXCliDB* db);

}  // namespace hrz
