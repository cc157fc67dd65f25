// Hello, logon and logoff.
#include "accounts.h"
#include "audit.h"
#include "handlers.h"
#include "hrzcommon/login_lists.h"
#include "hrzserver/log.h"
#include "login_gate.h"
#include "online_sessions.h"
#include "store.h"

namespace hrzsrv::handlers {
namespace {

// The logon ends and with it the session's store connection.
void EndSession(Context& context) {
  if (context.session.db) context.engine.presence->NoteOffline(context.db(), context.session.id);
  context.session.userNid = -1;
  context.session.userCode.clear();
  context.session.clientVersion = 0;
  DetachStore(context.session);
}

struct Password {
  std::string plain;
  ~Password() { sodium_memzero(plain.data(), plain.size()); }
};

// The optional tail of a logon body: what the client says of its machine. False when a
// field is malformed or the machine code does not hold 30 digits.
bool ReadMachine(wire::BodyReader& in, LogonPlace* place) {
  std::string* fields[] = {&place->machineCode, &place->machineName, &place->hardwareAddresses};
  const std::size_t limits[] = {protocol::kMaxMachineCode, protocol::kMaxMachineName,
                                protocol::kMaxHardwareAddresses};
  for (std::size_t i = 0; i < 3 && !in.AtTerminator(); ++i) {
    if (!in.NextText(fields[i], limits[i])) return false;
  }
  if (!in.AtTerminator()) return false;
  if (place->machineCode.empty()) return true;
  place->machineCode = hrz::MachineCodeDigitsOf(place->machineCode);
  return place->machineCode.size() == hrz::kMachineCodeDigits;
}

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
  LogonPlace place;
  if (!in.NextText(&code, protocol::kMaxUserCode) ||
      !in.NextText(&sealed, protocol::kMaxSealedText) || !in.NextInt32(&version) ||
      !ReadMachine(in, &place)) {
    return Reply::BadMessage();
  }
  place.addresses = PeerAddresses(context.session.peer);
  const SealCheck seal = OpenPassword(context, sealed, &password.plain);
  if (seal == SealCheck::kMalformed) return Reply::BadMessage();
  if (seal == SealCheck::kStale) return Reply::Status(protocol::kStaleSeal);
  EndSession(context);
  std::string error;
  if (!AttachStore(context.engine, context.session, &error)) {
    return Reply::Status(protocol::kServerError);
  }
  std::optional<Account> account = FindAccount(context.db(), code);
  // The lists are read before the password is checked but told only to whoever knows it.
  std::optional<LogonRefusal> refusal;
  if (account) refusal = CheckLoginLists(context.db(), account->nid, place);
  const std::optional<AttemptResult> placeRefused =
      refusal ? std::optional<AttemptResult>({refusal->status, refusal->message}) : std::nullopt;
  AttemptResult attempt =
      account ? CheckPasswordAttempt(context, account->nid, password.plain, placeRefused)
              : CheckUnknownCodeAttempt(context, code, password.plain);
  if (refusal && attempt.status == refusal->status) {
    WriteAudit(context,
               {audit::kLogonFailed, "UUSR", account->nid, refusal->column, refusal->message});
  }
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
  context.engine.presence->NoteOnline(context.db(), session, context.Now());
  Statement versionUpdate(context.db(), "UPDATE UUSR SET NUPCLIVR = ? WHERE NID = ?");
  versionUpdate.Bind(1, std::int64_t{session.clientVersion}).Bind(2, std::int64_t{account->nid});
  versionUpdate.Done();
  // The version and the machine are notes about the logon; failing to write them stops none.
  RecordMachine(context.db(), place, account->code, account->nid, version, context.Now());
  Log(LogLevel::Info, "logon", {{"peer", session.peer}, {"user", session.userCode}});
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
