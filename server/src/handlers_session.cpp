// Hello, logon and logoff.
#include "accounts.h"
#include "audit.h"
#include "handlers.h"
#include "store.h"

namespace hrzsrv::handlers {
namespace {

// The logon ends and with it the session's store connection.
void EndSession(Context& context) {
  context.engine.online.Remove(context.session.id);
  context.session.userNid = -1;
  context.session.userCode.clear();
  context.session.clientVersion = 0;
  DetachStore(context.session);
}

struct Password {
  std::string plain;
  ~Password() { sodium_memzero(plain.data(), plain.size()); }
};

}  // namespace

Reply Hello(Context& context, wire::BodyReader&) {
  wire::BodyWriter body;
  body.PutBytes(context.engine.publicKey.data(), context.engine.publicKey.size());
  body.PutText(kClientFolder);
  body.PutInt32(protocol::kProtocolVersion);
  body.PutBytes(context.session.sealNonce.data(), context.session.sealNonce.size());
  return Reply::With(protocol::kOk, body);
}

Reply Logon(Context& context, wire::BodyReader& in) {
  std::string code, sealed;
  std::int32_t version = 0;
  Password password;
  if (!in.NextText(&code, protocol::kMaxUserCode) ||
      !in.NextText(&sealed, protocol::kMaxSealedText) || !in.NextInt32(&version)) {
    return Reply::BadMessage();
  }
  const SealCheck seal = OpenPassword(context, sealed, &password.plain);
  if (seal == SealCheck::kMalformed) return Reply::BadMessage();
  if (seal == SealCheck::kStale) return Reply::Status(protocol::kStaleSeal);
  EndSession(context);
  std::string error;
  if (!AttachStore(context.engine, context.session, &error)) {
    return Reply::Status(protocol::kServerError);
  }
  std::optional<Account> account = FindAccount(context.db(), code);
  AttemptResult attempt = account ? CheckPasswordAttempt(context, account->nid, password.plain)
                                  : CheckUnknownCodeAttempt(context, code, password.plain);
  if (attempt.status != protocol::kLogonOk) {
    DetachStore(context.session);
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
