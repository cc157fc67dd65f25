// Hello, logon and logoff.
#include "accounts.h"
#include "audit.h"
#include "handlers.h"
#include "store.h"

namespace hrzsrv::handlers {
namespace {

constexpr std::int32_t kProtocolVersion = 1;
constexpr std::size_t kMaxCode = 127;
constexpr std::size_t kMaxSealed = 1024;

void EndSession(Context& context) {
  context.engine.online.Remove(context.session.id);
  context.session.userNid = -1;
  context.session.userCode.clear();
  context.session.clientVersion = 0;
}

}  // namespace

Reply Hello(Context& context, wire::BodyReader&) {
  wire::BodyWriter body;
  body.PutBytes(context.engine.publicKey.data(), context.engine.publicKey.size());
  body.PutText(kClientFolder);
  body.PutInt32(kProtocolVersion);
  return Reply::With(protocol::kOk, body);
}

Reply Logon(Context& context, wire::BodyReader& in) {
  std::string code, sealed, plain;
  std::int32_t version = 0;
  if (!in.NextText(&code, kMaxCode) || !in.NextText(&sealed, kMaxSealed) ||
      !in.NextInt32(&version)) {
    return Reply::BadMessage();
  }
  if (!OpenPassword(context, sealed, &plain)) return Reply::BadMessage();
  EndSession(context);
  std::optional<Account> account = FindAccount(context.db(), code);
  if (!account) {
    WriteAudit(context, {audit::kLogonFailed, "UUSR", -1, code, "no such user"});
    return Reply::Status(protocol::kLogonWrong);
  }
  AttemptResult attempt = CheckPasswordAttempt(context, account->nid, plain);
  sodium_memzero(plain.data(), plain.size());
  if (attempt.status != protocol::kLogonOk) {
    wire::BodyWriter body;
    if (!attempt.replyText.empty()) body.PutText(attempt.replyText);
    return Reply::With(attempt.status, body);
  }
  SessionState& session = context.session;
  session.userNid = account->nid;
  session.userCode = account->code;
  session.clientVersion = version;
  context.engine.online.Add(session.id, session.userNid);
  Statement versionUpdate(context.db(), "UPDATE UUSR SET NUPCLIVR = ? WHERE NID = ?");
  versionUpdate.Bind(1, std::int64_t{session.clientVersion}).Bind(2, std::int64_t{account->nid});
  versionUpdate.Done();
  wire::BodyWriter body;
  body.PutInt32(account->nid);
  body.PutText(account->code);
  return Reply::With(protocol::kLogonOk, body);
}

Reply Logoff(Context& context, wire::BodyReader&) {
  EndSession(context);
  return Reply::Status(protocol::kOk);
}

}  // namespace hrzsrv::handlers
