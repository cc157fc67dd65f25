#include "accounts.h"

#include <cstdlib>

#include "audit.h"
#include "clock.h"
#include "crypto.h"
#include "store.h"

namespace hrzsrv {
namespace {

constexpr const char* kAccountColumns =
    "SELECT NID, CCODE, CSRC FROM UUSR WHERE NSTAT IS NOT 254 AND upper(CSRC) IN "
    "('UUSRI', 'KQUSR', 'UUSRO') AND ";

std::optional<Account> ReadAccount(Statement& read) {
  if (!read.Row()) return std::nullopt;
  return Account{static_cast<int>(read.Int(0)), read.Text(1), read.Text(2)};
}

int AttemptLimit(sqlite3* db) {
  std::optional<std::string> value = ReadSetting(db, "system", "Lgn Err Try");
  return value ? std::atoi(value->c_str()) : 0;
}

// Failed attempts that count today: the stored count when the last failure was today.
int AttemptsToday(sqlite3* db, int nid, long long today) {
  Statement read(db, "SELECT NTRYLGN, DTRYLGNTM FROM UUSR WHERE NID = ?");
  read.Bind(1, std::int64_t{nid});
  if (!read.Row() || read.IsNull(0) || read.IsNull(1)) return 0;
  return DayOf(read.Real(1)) == today ? static_cast<int>(read.Int(0)) : 0;
}

}  // namespace

std::optional<Account> FindAccount(sqlite3* db, std::string_view code) {
  Statement read(db, std::string(kAccountColumns) + "CCODE = ?");
  read.Bind(1, code);
  return ReadAccount(read);
}

std::optional<Account> FindAccountByNid(sqlite3* db, int nid) {
  Statement read(db, std::string(kAccountColumns) + "NID = ?");
  read.Bind(1, std::int64_t{nid});
  return ReadAccount(read);
}

std::optional<std::string> ReadSetting(sqlite3* db, std::string_view section,
                                       std::string_view key) {
  Statement read(db, "SELECT CVALUE FROM SRV_SETTING WHERE CSECTION = ? AND CKEY = ?");
  read.Bind(1, section).Bind(2, key);
  if (!read.Row()) return std::nullopt;
  return read.Text(0);
}

AttemptResult CheckPasswordAttempt(Context& context, int nid, std::string_view plain) {
  sqlite3* db = context.db();
  const double now = context.Now();
  const long long today = DayOf(now);
  const int limit = AttemptLimit(db);
  if (limit > 0 && AttemptsToday(db, nid, today) >= limit) {
    WriteAudit(context, {audit::kLogonFailed, "UUSR", nid, "password", "locked"});
    return {protocol::kLogonLocked, {}};
  }

  std::string hash;
  {
    Statement read(db, "SELECT CHASH FROM SRV_PASSWORD WHERE NID = ?");
    read.Bind(1, std::int64_t{nid});
    if (read.Row()) hash = read.Text(0);
  }
  if (PasswordMatches(hash, plain)) {
    Statement clear(db, "UPDATE UUSR SET NTRYLGN = NULL, DTRYLGNTM = NULL WHERE NID = ?");
    clear.Bind(1, std::int64_t{nid});
    if (!clear.Done()) return {protocol::kServerError, {}};
    return {protocol::kLogonOk, {}};
  }

  // Count the failure in one transaction, so concurrent failures all count.
  Transaction tx(db);
  const int attempts = AttemptsToday(db, nid, today) + 1;
  Statement count(db, "UPDATE UUSR SET NTRYLGN = ?, DTRYLGNTM = ? WHERE NID = ?");
  count.Bind(1, std::int64_t{attempts}).Bind(2, now).Bind(3, std::int64_t{nid});
  if (!tx.ok() || !count.Done() || !tx.Commit()) return {protocol::kServerError, {}};
  WriteAudit(context, {audit::kLogonFailed, "UUSR", nid, "password", "wrong password"});
  if (attempts == limit) {
    WriteAudit(context, {audit::kLocked, "UUSR", nid, "password",
                         "locked after " + std::to_string(attempts) + " failed attempts today"});
  }
  if (limit <= 0) return {protocol::kLogonWrong, {}};
  if (attempts >= limit) return {protocol::kLogonLocked, {}};
  return {protocol::kLogonWrong, "pwd_try_left=" + std::to_string(limit - attempts)};
}

bool OpenPassword(Context& context, std::string_view sealed, std::string* plain) {
  return OpenSealedText(sealed, context.engine.publicKey, context.engine.secretKey, plain);
}

}  // namespace hrzsrv
