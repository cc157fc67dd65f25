#include "password_expiry.h"

#include <QDate>

#include <cstdlib>
#include <string>

#include "host_bridge.h"
#include "hrzcommon/protocol.h"
#include "main_window.h"
#include "platform_ui.h"
#include "qt_handle.h"
#include "xclidb.h"

namespace hrzhost {
namespace {

QDate DateOf(int yyyymmdd) {
  return QDate(yyyymmdd / 10000, (yyyymmdd / 100) % 100, yyyymmdd % 100);
}

}  // namespace

int DaysBetween(int fromYyyymmdd, int toYyyymmdd) {
  QDate from = DateOf(fromYyyymmdd);
  QDate to = DateOf(toYyyymmdd);
  if (!from.isValid() || !to.isValid()) return 0;
  return static_cast<int>(from.daysTo(to));
}

bool PasswordExpired(tagXCliDB* db) {
  int nid = XCliGetCurrentUserNID(db);
  if (nid < 1) return false;
  std::string sql = "select DMODIPWD, NPWDDAYS from UUSR where NID = " + std::to_string(nid);
  tagXCliRS rs;
  XCliRS_Constructor(&rs, db);
  char changed[64] = "";
  int days = 0;
  bool read = XCliRS_Open(&rs, 1, sql.c_str(), 0, 0) != 0 && XCliRS_IsEOF(&rs) == 0 &&
              XCliRS_GetFieldValue(&rs, 0, XCLI_TYPE_TEXT, changed, sizeof(changed)) != 0 &&
              XCliRS_GetFieldValue(&rs, 1, XCLI_TYPE_INT32, &days, sizeof(days)) != 0;
  XCliRS_Close(&rs);
  XCliRS_Destructor(&rs);
  if (!read) return false;
  int lastChange = static_cast<int>(std::strtod(changed, nullptr));
  if (lastChange == hrz::protocol::kChangeAtNextLogon) return true;
  if (days < 1 || lastChange < 1) return false;
  int today = static_cast<int>(XCliDB_GetServerTimeDouble(db));
  return DaysBetween(lastChange, today) >= days;
}

bool ExpiredPasswordChanged(MainWindow& window, tagXCliDB* db) {
  if (!PasswordExpired(db)) return true;
  window.show();
  const HostCommand* command = FindHostCommand("XCHGEXPIREDPWD");
  if (command != nullptr && window.RunCommand(*command).out == "OK") return true;
  MessageBoxA(HwndFromWidget(&window),
              "The password has expired and was not changed; hrzhost closes.", "hrzhost",
              MB_OK | MB_ICONEXCLAMATION);
  return false;
}

}  // namespace hrzhost
