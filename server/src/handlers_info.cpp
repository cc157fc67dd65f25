// Code lookup, reload, settings, server time, audit log, privilege query, online state.
#include "accounts.h"
#include "audit.h"
#include "clock.h"
#include "handlers.h"
#include "hrzcommon/text.h"
#include "online_sessions.h"
#include "rights.h"
#include "store.h"

namespace hrzsrv::handlers {
namespace {

constexpr std::size_t kMaxCode = 255;
constexpr std::size_t kMaxLogText = 4000;

}  // namespace

Reply FindCode(Context& context, wire::BodyReader& in) {
  std::string code;
  if (!in.NextText(&code, kMaxCode)) return Reply::BadMessage();
  // Codes are stored trimmed and compare without case, as a record save checks them.
  Statement read(context.db(), "SELECT NID FROM UUSR WHERE CCODE = ?");
  read.Bind(1, hrz::TrimBlanks(code));
  if (!read.Row()) return Reply::Status(protocol::kCodeFree);
  wire::BodyWriter body;
  body.PutInt32(static_cast<std::int32_t>(read.Int(0)));
  return Reply::With(protocol::kCodeHeld, body);
}

// The engine keeps no caches of users, privileges or settings: every request reads them from
// the store, so what one server writes every other answers at once, and a reload has nothing
// to drop on any of them. It is still refused to anyone but the administrator.
Reply Reload(Context& context, wire::BodyReader& in) {
  std::span<const std::uint8_t> values;
  if (!in.Next(&values) || values.size() != 8) return Reply::BadMessage();
  if (context.session.IsAdmin()) return Reply::Status(protocol::kReloadDone);
  WriteAudit(context, {audit::kRefused, "reload", -1, "", "only the administrator reloads"});
  return Reply::Status(protocol::kReloadNoRight);
}

Reply GetSetting(Context& context, wire::BodyReader& in) {
  std::string section, key;
  if (!in.NextText(&section, 255) || !in.NextText(&key, 255)) return Reply::BadMessage();
  std::optional<std::string> value = ReadSetting(context.db(), section, key);
  if (!value) return Reply::Status(protocol::kNotFound);
  wire::BodyWriter body;
  body.PutLong(*value);
  return Reply::With(protocol::kOk, body);
}

Reply ServerTime(Context& context, wire::BodyReader&) {
  const TimeFields t = LocalFields(context.engine.clock->Now());
  wire::BodyWriter body;
  for (int value : {t.year, t.month, t.day, t.hour, t.minute, t.second}) body.PutInt32(value);
  return Reply::With(protocol::kOk, body);
}

Reply PutLog(Context& context, wire::BodyReader& in) {
  std::string action, table, value, text;
  std::int32_t nid = 0;
  if (!in.NextText(&action, 255) || !in.NextText(&table, 255) || !in.NextInt32(&nid) ||
      !in.NextText(&value, kMaxLogText) || !in.NextText(&text, kMaxLogText)) {
    return Reply::BadMessage();
  }
  const bool written = WriteAudit(context, {action, table, nid, value, text});
  return Reply::Status(written ? protocol::kOk : protocol::kServerError);
}

Reply FuncPvg(Context& context, wire::BodyReader& in) {
  std::int32_t nid = 0;
  std::string code;
  if (!in.NextInt32(&nid) || !in.NextText(&code, 255)) return Reply::BadMessage();
  if (nid == -1) nid = context.session.userNid;
  if (nid != context.session.userNid && !context.session.IsAdmin()) {
    constexpr std::string_view reason = "only the administrator asks for another user";
    WriteAudit(context, {audit::kRefused, "privilege", nid, code, reason});
    return Reply::Failure(reason);
  }
  std::optional<PrivilegeFlags> flags = PrivilegeOf(context.db(), nid, code);
  if (!flags) return Reply::Status(protocol::kNotFound);
  wire::BodyWriter body;
  body.PutInt32(flags->view ? 1 : 0);
  body.PutInt32(flags->modify ? 1 : 0);
  return Reply::With(protocol::kOk, body);
}

Reply OnlineState(Context& context, wire::BodyReader& in) {
  std::string code;
  if (!in.NextTextZ(&code, kMaxCode)) return Reply::BadMessage();
  std::optional<Account> account = FindAccount(context.db(), code);
  const bool online = account && context.engine.presence->IsOnline(context.db(), account->nid);
  return Reply::Status(online ? protocol::kUserOnline : protocol::kUserOffline);
}

// The client's acknowledgement of an online answer; nothing is sent back.
Reply OnlineAck(Context&, wire::BodyReader&) {
  Reply reply = Reply::Status(protocol::kOk);
  reply.none = true;
  return reply;
}

}  // namespace hrzsrv::handlers
