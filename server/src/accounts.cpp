#include "accounts.h"

#include <cstdlib>

#include "audit.h"
#include "clock.h"
#include "crypto.h"
#include "store.h"

namespace hrzsrv {
namespace {

constexpr const char* kAccountColumns =
    "SELECT NID, CCODE, CSRC FROM UUSR WHERE NSTAT IS DISTINCT FROM 254 AND upper(CSRC) IN "
    "('UUSRI', 'KQUSR', 'UUSRO') AND ";

std::optional<Account> ReadAccount(Statement& read) {
  if (!read.Row()) return std::nullopt;
  return Account{static_cast<int>(read.Int(0)), read.Text(1), read.Text(2)};
}

int AttemptLimit(StoreDb& db) {
  std::optional<std::string> value = ReadSetting(db, "system", "Lgn Err Try");
  return value ? std::atoi(value->c_str()) : 0;
}

// Keeps more rows than a day of honest typing errors needs, and few enough to stay small.
constexpr int kMaxUnknownCodeRows = 10000;

// Where the failed logons of one name are counted: the user's own row of "UUSR", or a row
// of SRV_UNKNOWN_LOGON for a code that names no user.
class AttemptCounter {
 public:
  static AttemptCounter ForUser(StoreDb& db, int nid) { return {db, true, nid, {}}; }
  static AttemptCounter ForUnknownCode(StoreDb& db, std::string_view code) {
    return {db, false, 0, std::string(code)};
  }

  // Failed attempts that count today: the stored count when the last failure was today.
  int Today(long long today) const {
    Statement read(db_, user_ ? "SELECT NTRYLGN, DTRYLGNTM FROM UUSR WHERE NID = ?"
                              : "SELECT NTRYLGN, DTRYLGNTM FROM SRV_UNKNOWN_LOGON WHERE CCODE = ?");
    BindKey(read, 1);
    if (!read.Row() || read.IsNull(0) || read.IsNull(1)) return 0;
    return DayOf(read.Real(1)) == today ? static_cast<int>(read.Int(0)) : 0;
  }

  // Inside the caller's transaction.
  bool Record(int attempts, double now) const {
    Statement write(db_, user_ ? "UPDATE UUSR SET NTRYLGN = ?, DTRYLGNTM = ? WHERE NID = ?"
                               : "INSERT INTO SRV_UNKNOWN_LOGON(NTRYLGN, DTRYLGNTM, CCODE) "
                                 "VALUES(?, ?, ?) ON CONFLICT(CCODE) DO UPDATE SET "
                                 "NTRYLGN = excluded.NTRYLGN, DTRYLGNTM = excluded.DTRYLGNTM");
    write.Bind(1, std::int64_t{attempts}).Bind(2, now);
    BindKey(write, 3);
    if (!write.Done()) return false;
    if (user_) return true;
    // Earlier days no longer count, and a flood of made-up codes keeps only the newest.
    Statement old(db_, "DELETE FROM SRV_UNKNOWN_LOGON WHERE DTRYLGNTM < ?");
    old.Bind(1, static_cast<double>(DayOf(now)));
    Statement surplus(db_,
                      "DELETE FROM SRV_UNKNOWN_LOGON WHERE CCODE IN (SELECT CCODE FROM "
                      "SRV_UNKNOWN_LOGON ORDER BY DTRYLGNTM LIMIT (SELECT CASE WHEN count(*) > ?1 "
                      "THEN count(*) - ?1 ELSE 0 END FROM SRV_UNKNOWN_LOGON))");
    surplus.Bind(1, std::int64_t{kMaxUnknownCodeRows});
    return old.Done() && surplus.Done();
  }

  // The audit log's target and value for this name: the user, or -1 and the code as typed.
  std::int64_t AuditTarget() const { return user_ ? nid_ : -1; }
  std::string AuditValue() const { return user_ ? "password" : code_; }

  bool Clear() const {
    Statement clear(db_, "UPDATE UUSR SET NTRYLGN = NULL, DTRYLGNTM = NULL WHERE NID = ?");
    BindKey(clear, 1);
    return clear.Done();
  }

 private:
  AttemptCounter(StoreDb& db, bool user, int nid, std::string code)
      : db_(db), user_(user), nid_(nid), code_(std::move(code)) {}

  void BindKey(Statement& statement, int index) const {
    if (user_) {
      statement.Bind(index, nid_);
    } else {
      statement.Bind(index, std::string_view(code_));
    }
  }

  StoreDb& db_;
  bool user_;
  std::int64_t nid_;
  std::string code_;
};

// One attempt: the lock, then the hash, then the count. known is false for a code that
// names no user, whose attempt always fails after the same work.
AttemptResult CheckAttempt(Context& context, const AttemptCounter& counter, const std::string& hash,
                           bool known, std::string_view plain,
                           const std::optional<AttemptResult>& refusal) {
  StoreDb& db = context.db();
  const double now = context.Now();
  const long long today = DayOf(now);
  const int limit = AttemptLimit(db);
  auto audit = [&](std::string_view action, const std::string& text) {
    WriteAudit(context, {action, "UUSR", counter.AuditTarget(), counter.AuditValue(), text});
  };
  if (limit > 0 && counter.Today(today) >= limit) {
    audit(audit::kLogonFailed, "locked");
    return {protocol::kLogonLocked, {}};
  }

  const PasswordCheck check = CheckPassword(hash, plain);
  // Nothing is counted for a check that was not made.
  if (check == PasswordCheck::kBusy) return {protocol::kServerBusy, kHashesBusy};
  if (check == PasswordCheck::kMatches && known) {
    if (refusal) return *refusal;
    if (!counter.Clear()) return {protocol::kServerError, {}};
    return {protocol::kLogonOk, {}};
  }

  // Count the failure in one transaction, so concurrent failures all count.
  Transaction tx(db);
  const int attempts = counter.Today(today) + 1;
  if (!tx.ok() || !counter.Record(attempts, now) || !tx.Commit()) {
    return {protocol::kServerError, {}};
  }
  audit(audit::kLogonFailed, known ? "wrong password" : "no such user");
  if (attempts == limit) {
    audit(audit::kLocked, "locked after " + std::to_string(attempts) + " failed attempts today");
  }
  if (limit <= 0) return {protocol::kLogonWrong, {}};
  if (attempts >= limit) return {protocol::kLogonLocked, {}};
  return {protocol::kLogonWrong, "pwd_try_left=" + std::to_string(limit - attempts)};
}

}  // namespace

std::optional<Account> FindAccount(StoreDb& db, std::string_view code) {
  Statement read(db, std::string(kAccountColumns) + "CCODE = ?");
  read.Bind(1, code);
  return ReadAccount(read);
}

std::optional<Account> FindAccountByNid(StoreDb& db, int nid) {
  Statement read(db, std::string(kAccountColumns) + "NID = ?");
  read.Bind(1, std::int64_t{nid});
  return ReadAccount(read);
}

std::optional<std::string> ReadSetting(StoreDb& db, std::string_view section,
                                       std::string_view key) {
  Statement read(db, "SELECT CVALUE FROM SRV_SETTING WHERE CSECTION = ? AND CKEY = ?");
  read.Bind(1, section).Bind(2, key);
  if (!read.Row()) return std::nullopt;
  return read.Text(0);
}

AttemptResult CheckPasswordAttempt(Context& context, int nid, std::string_view plain,
                                   const std::optional<AttemptResult>& refusal) {
  std::string hash;
  {
    Statement read(context.db(), "SELECT CHASH FROM SRV_PASSWORD WHERE NID = ?");
    read.Bind(1, std::int64_t{nid});
    if (read.Row()) hash = read.Text(0);
  }
  return CheckAttempt(context, AttemptCounter::ForUser(context.db(), nid), hash, true, plain,
                      refusal);
}

AttemptResult CheckUnknownCodeAttempt(Context& context, std::string_view code,
                                      std::string_view plain) {
  return CheckAttempt(context, AttemptCounter::ForUnknownCode(context.db(), code),
                      context.engine.DummyHash(), false, plain, std::nullopt);
}

SealCheck OpenPassword(Context& context, std::string_view sealed, std::string* plain) {
  std::string opened;
  if (!OpenSealedText(sealed, context.engine.publicKey, context.engine.secretKey, &opened)) {
    return SealCheck::kMalformed;
  }
  SessionState& session = context.session;
  SealCheck check = SealCheck::kMalformed;
  if (opened.size() >= protocol::kSealPrefixSize) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(opened.data());
    const auto sequence =
        static_cast<std::uint32_t>(wire::ReadInt32(bytes + protocol::kSealNonceSize));
    const bool thisConnection =
        sodium_memcmp(bytes, session.sealNonce.data(), protocol::kSealNonceSize) == 0;
    check = thisConnection && sequence > session.lastSealSequence ? SealCheck::kOpened
                                                                  : SealCheck::kStale;
    if (check == SealCheck::kOpened) {
      session.lastSealSequence = sequence;
      plain->assign(opened, protocol::kSealPrefixSize);
    }
  }
  sodium_memzero(opened.data(), opened.size());
  return check;
}

}  // namespace hrzsrv
