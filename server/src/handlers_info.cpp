// Code lookup, reload, settings, server time, audit log, privilege query, online state.
#include "accounts.h"
#include "clock.h"
#include "handlers.h"
#include "store.h"

namespace hrzsrv::handlers {
namespace {

constexpr std::size_t kMaxCode = 255;
constexpr std::size_t kMaxLogText = 4000;

}  // namespace

Reply FindCode(Context& context, wire::BodyReader& in) {
  std::string code;
  if (!in.NextText(&code, kMaxCode)) return Reply::BadMessage();
  Statement read(context.db(), "SELECT NID FROM UUSR WHERE CCODE = ?");
  read.Bind(1, code);
  if (!read.Row()) return Reply::Status(protocol::kCodeFree);
  wire::BodyWriter body;
  body.PutInt32(static_cast<std::int32_t>(read.Int(0)));
  return Reply::With(protocol::kCodeHeld, body);
}

// The engine keeps no caches of users or privileges, so a reload has nothing to drop;
// the request is still refused to anyone but the administrator.
Reply Reload(Context& context, wire::BodyReader& in) {
  std::span<const std::uint8_t> values;
  if (!in.Next(&values) || values.size() != 8) return Reply::BadMessage();
  return Reply::Status(context.session.IsAdmin() ? protocol::kReloadDone
                                                 : protocol::kReloadNoRight);
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
  Statement write(context.db(),
                  "INSERT INTO SRV_LOG(DTIME, NUSER, CACTION, CTABLE, NTARGET, CVALUE, CTEXT) "
                  "VALUES(?, ?, ?, ?, ?, ?, ?)");
  write.Bind(1, context.Now()).Bind(2, std::int64_t{context.session.userNid}).Bind(3, action);
  write.Bind(4, table).Bind(5, std::int64_t{nid}).Bind(6, value).Bind(7, text);
  return Reply::Status(write.Done() ? protocol::kOk : protocol::kServerError);
}

// The flags of a user for one privilege: its own string and those of every department
// and role above it, all levels up. "M" grants modify and, with it, view.
Reply FuncPvg(Context& context, wire::BodyReader& in) {
  std::int32_t nid = 0;
  std::string code;
  if (!in.NextInt32(&nid) || !in.NextText(&code, 255)) return Reply::BadMessage();
  if (nid == -1) nid = context.session.userNid;
  if (nid != context.session.userNid && !context.session.IsAdmin()) {
    return Reply::Failure("only the administrator asks for another user");
  }
  Statement position(context.db(), "SELECT NFNCHR FROM UUSRFN WHERE CCODE = ?");
  position.Bind(1, code);
  if (!position.Row() || position.IsNull(0) || position.Int(0) < 1) {
    return Reply::Status(protocol::kNotFound);
  }
  Statement marks(
      context.db(),
      "WITH RECURSIVE up(n) AS (SELECT ?1 UNION SELECT b.NPID FROM UUSRBM b "
      "JOIN up ON b.NCID = up.n WHERE b.NPID > 0) "
      "SELECT upper(substr(p.CPVG, ?2, 1)) FROM up JOIN SRV_PRIVILEGE p ON p.NID = up.n");
  marks.Bind(1, std::int64_t{nid}).Bind(2, position.Int(0));
  std::int32_t view = 0, modify = 0;
  while (marks.Row()) {
    const std::string mark = marks.Text(0);
    if (mark == "M") modify = view = 1;
    if (mark == "V") view = 1;
  }
  wire::BodyWriter body;
  body.PutInt32(view);
  body.PutInt32(modify);
  return Reply::With(protocol::kOk, body);
}

Reply OnlineState(Context& context, wire::BodyReader& in) {
  std::string code;
  if (!in.NextTextZ(&code, kMaxCode)) return Reply::BadMessage();
  std::optional<Account> account = FindAccount(context.db(), code);
  const bool online = account && context.engine.online.IsOnline(account->nid);
  return Reply::Status(online ? protocol::kUserOnline : protocol::kUserOffline);
}

// The client's acknowledgement of an online answer; nothing is sent back.
Reply OnlineAck(Context&, wire::BodyReader&) {
  Reply reply = Reply::Status(protocol::kOk);
  reply.none = true;
  return reply;
}

}  // namespace hrzsrv::handlers
