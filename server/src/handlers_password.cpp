// Verifying and setting passwords. Passwords arrive sealed and are stored only as hashes.
#include <cmath>
#include <optional>

#include "accounts.h"
#include "audit.h"
#include "crypto.h"
#include "handlers.h"
#include "store.h"

namespace hrzsrv::handlers {
namespace {

struct PasswordRequest {
  std::string code;
  std::string plain;
  ~PasswordRequest() { sodium_memzero(plain.data(), plain.size()); }
};

// Reads code and sealed password; the status to answer when they cannot be taken.
std::optional<std::uint8_t> ReadPasswordRequest(Context& context, wire::BodyReader& in,
                                                PasswordRequest* request) {
  std::string sealed;
  if (!in.NextText(&request->code, protocol::kMaxUserCode) ||
      !in.NextText(&sealed, protocol::kMaxSealedText)) {
    return protocol::kBadMessage;
  }
  switch (OpenPassword(context, sealed, &request->plain)) {
    case SealCheck::kOpened:
      return std::nullopt;
    case SealCheck::kStale:
      return protocol::kStaleSeal;
    case SealCheck::kMalformed:
      break;
  }
  return protocol::kBadMessage;
}

// Only the administrator verifies or sets another user's password.
bool MayTouchPassword(Context& context, const Account& account, std::string_view request) {
  if (account.nid == context.session.userNid || context.session.IsAdmin()) return true;
  WriteAudit(context,
             {audit::kRefused, request, account.nid, account.code, "another user's password"});
  return false;
}

}  // namespace

Reply VerifyPassword(Context& context, wire::BodyReader& in) {
  PasswordRequest request;
  if (auto refused = ReadPasswordRequest(context, in, &request)) return Reply::Status(*refused);
  std::optional<Account> account = FindAccount(context.db(), request.code);
  if (!account) return Reply::Status(protocol::kLogonWrong);
  if (!MayTouchPassword(context, *account, "verify password")) {
    return Reply::Status(protocol::kPasswordNoRight);
  }
  AttemptResult attempt = CheckPasswordAttempt(context, account->nid, request.plain);
  wire::BodyWriter body;
  if (!attempt.replyText.empty()) body.PutText(attempt.replyText);
  return Reply::With(attempt.status, body);
}

Reply SetPassword(Context& context, wire::BodyReader& in) {
  PasswordRequest request;
  if (auto refused = ReadPasswordRequest(context, in, &request)) return Reply::Status(*refused);
  std::optional<Account> account = request.code.empty()
                                       ? FindAccountByNid(context.db(), context.session.userNid)
                                       : FindAccount(context.db(), request.code);
  if (!account) return Reply::Status(protocol::kPasswordFailed);
  if (!MayTouchPassword(context, *account, "set password")) {
    return Reply::Status(protocol::kPasswordNoRight);
  }
  std::string hash;
  switch (HashPassword(request.plain, &hash)) {
    case HashOutcome::kDone:
      break;
    case HashOutcome::kBusy:
      return Reply::Busy(kHashesBusy);
    case HashOutcome::kFailed:
      return Reply::Status(protocol::kPasswordFailed);
  }
  StoreDb& db = context.db();
  Transaction tx(db);
  Statement store(db,
                  "INSERT INTO SRV_PASSWORD(NID, CHASH) VALUES(?, ?) "
                  "ON CONFLICT(NID) DO UPDATE SET CHASH = excluded.CHASH");
  store.Bind(1, std::int64_t{account->nid}).Bind(2, hash);
  const bool another = account->nid != context.session.userNid;
  // A password given by someone else keeps the change-at-next-logon mark: its user is still
  // asked for one of their own.
  Statement stamp(db,
                  "UPDATE UUSR SET DMODIPWD = ?1 WHERE NID = ?2 AND "
                  "(?3 <> 0 OR DMODIPWD IS DISTINCT FROM ?4)");
  stamp.Bind(1, static_cast<std::int64_t>(std::floor(context.Now())))
      .Bind(2, std::int64_t{account->nid})
      .Bind(3, std::int64_t{another ? 0 : 1})
      .Bind(4, std::int64_t{protocol::kChangeAtNextLogon});
  if (!tx.ok() || !store.Done() || !stamp.Done() ||
      (another && !WriteAudit(context, {audit::kRightsChanged, "UUSR", account->nid, "password",
                                        "set for " + account->code})) ||
      !tx.Commit()) {
    return Reply::Status(protocol::kPasswordFailed);
  }
  return Reply::Status(protocol::kPasswordSet);
}

}  // namespace hrzsrv::handlers
