// Membership: a record attached under a department or role, a user removed from one, users,
// departments and roles deleted. Each request is one write transaction, made only for a
// manager or the administrator; the rows it writes are audited as rights changes, and the
// store's own rules (organisation_rules.h) refuse a link that would break the organisation.
#include <functional>
#include <optional>
#include <string>

#include "audit.h"
#include "handlers.h"
#include "hrzcommon/text.h"
#include "noted_write.h"
#include "rights.h"
#include "store.h"

namespace hrzsrv::handlers {
namespace {

struct Record {
  std::string code;
  std::string kind;
};

std::optional<Record> ReadRecord(StoreDb& db, std::int64_t nid) {
  Statement read(db, "SELECT CCODE, CSRC FROM UUSR WHERE NID = ?");
  read.Bind(1, nid);
  if (!read.Row()) return std::nullopt;
  return Record{read.Text(0), read.Text(1)};
}

// The record a link hangs, none when there is no such link.
std::optional<std::int64_t> LinkedRecord(StoreDb& db, std::int64_t linkNid) {
  Statement read(db, "SELECT NCID FROM UUSRBM WHERE NID = ?");
  read.Bind(1, linkNid);
  if (!read.Row()) return std::nullopt;
  return read.Int(0);
}

// Runs a write whose one parameter is an NID.
bool WriteForNid(StoreDb& db, std::string_view sql, std::int64_t nid) {
  Statement write(db, sql);
  write.Bind(1, nid);
  return write.Done();
}

bool IsUserKind(std::string_view kind) {
  for (std::string_view user : {"UUSRI", "KQUSR", "UUSRO"}) {
    if (hrz::EqualsNoCase(kind, user)) return true;
  }
  return false;
}

bool IsDepartmentOrRole(std::string_view kind) {
  return hrz::EqualsNoCase(kind, "UDEPT") || hrz::EqualsNoCase(kind, "UROLE");
}

// One change of the organisation by one request: the session's right to make it, its write
// transaction, and the audit of what it changed or why it was refused.
class MembershipChange {
 public:
  // request names the request in the audit log; target and what say what it was asked for.
  MembershipChange(Context& context, std::string_view request, std::int64_t target,
                   std::string what)
      : context_(context), request_(request), target_(target), what_(std::move(what)) {}
  ~MembershipChange() { End(); }
  MembershipChange(const MembershipChange&) = delete;
  MembershipChange& operator=(const MembershipChange&) = delete;

  // Opens the transaction when the session may change the organisation; otherwise the
  // reply to send.
  std::optional<Reply> Start() {
    transaction_.emplace(context_.db());
    if (!transaction_->ok()) return Reply::Status(protocol::kServerError);
    const Rights rights = RightsOf(context_.db(), context_.session);
    if (!rights.admin && !rights.manager) {
      return Refuse("only a holder of \"UUSR\" modify changes the organisation");
    }
    return std::nullopt;
  }

  // Runs write, which touches only rows of table whose column holds value, noting the rights
  // changes it makes for the audit at the commit.
  bool Write(std::string_view table, std::string_view column, std::int64_t value,
             const std::function<bool()>& write) {
    return NotedWrite(context_.db(), table, column, value, write, &notes_);
  }
  // A write whose one parameter is value, the NID that column holds in every row it touches.
  bool WriteWhere(std::string_view table, std::string_view column, std::int64_t value,
                  std::string_view sql) {
    return Write(table, column, value, [&] { return WriteForNid(context_.db(), sql, value); });
  }

  // Nothing changes; the refusal is audited.
  Reply Refuse(std::string_view reason) {
    End();
    WriteAudit(context_, {audit::kRefused, request_, target_, what_, reason});
    return Reply::Failure(reason);
  }

  // Nothing changes and nothing is audited: the answer is no refusal of rights.
  Reply Answer(Reply reply) {
    End();
    return reply;
  }

  // A write of the change failed: refused when it broke a rule of the organisation.
  Reply Failed() {
    StoreDb& db = context_.db();
    if (db.LastFailure() == StoreFailure::kOrganisationRule) return Refuse(db.LastError());
    return Answer(Reply::Status(protocol::kServerError));
  }

  // Keeps the change with the audit of every rights change it made.
  Reply Commit(Reply done) {
    if (!WriteRightsChanges(context_, notes_) || !transaction_->Commit()) {
      return Answer(Reply::Status(protocol::kServerError));
    }
    transaction_.reset();
    return done;
  }

 private:
  void End() {
    notes_.clear();
    transaction_.reset();
  }

  Context& context_;
  std::string_view request_;
  std::int64_t target_;
  std::string what_;
  std::optional<Transaction> transaction_;
  std::vector<RightsNote> notes_;
};

// The code of a deleted user: its own with the marker added, again for each deleted user
// that holds that already, so that it stays unique and restoring (which drops every marker)
// gives the code back. A code that carries the marker already is kept, and so is one that
// would grow longer than any code may be: state 254 alone marks that user deleted.
std::string DeletedCode(StoreDb& db, const std::string& code) {
  if (code.find(kDeletedMarker) != std::string::npos) return code;
  for (std::string marked = code + std::string(kDeletedMarker);
       marked.size() <= protocol::kMaxUserCode; marked += kDeletedMarker) {
    Statement taken(db, "SELECT 1 FROM UUSR WHERE CCODE = ?");
    taken.Bind(1, marked);
    if (!taken.Row()) return marked;
  }
  return code;
}

}  // namespace

Reply AttachToNode(Context& context, wire::BodyReader& in) {
  std::int32_t node = 0, record = 0;
  if (!in.NextInt32(&node) || !in.NextInt32(&record)) return Reply::BadMessage();
  MembershipChange change(context, "attach", record,
                          "record " + std::to_string(record) + " under " + std::to_string(node));
  if (std::optional<Reply> refused = change.Start()) return *refused;
  StoreDb& db = context.db();
  if (!ReadRecord(db, node) || !ReadRecord(db, record)) {
    return change.Answer(Reply::Status(protocol::kNotFound));
  }
  wire::BodyWriter body;
  Statement existing(db, "SELECT NID FROM UUSRBM WHERE NPID = ? AND NCID = ?");
  existing.Bind(1, std::int64_t{node}).Bind(2, std::int64_t{record});
  if (existing.Row()) {
    body.PutInt32(static_cast<std::int32_t>(existing.Int(0)));
    return change.Answer(Reply::With(protocol::kAttached, body));
  }
  const bool linked = change.Write("UUSRBM", "NCID", record, [&] {
    Statement link(db, "INSERT INTO UUSRBM(NPID, NCID, CVWA) VALUES(?, ?, 'T')");
    link.Bind(1, std::int64_t{node}).Bind(2, std::int64_t{record});
    return link.Done();
  });
  if (!linked) return change.Failed();
  body.PutInt32(static_cast<std::int32_t>(db.LastInsertId()));
  return change.Commit(Reply::With(protocol::kAttached, body));
}

// A deleted user keeps its record, password, privileges and files; it loses its places in
// the organisation, its code takes the marker and its state is 254, so it cannot log on.
Reply DeleteUser(Context& context, wire::BodyReader& in) {
  std::int32_t nid = 0;
  if (!in.NextInt32(&nid)) return Reply::BadMessage();
  MembershipChange change(context, "delete user", nid, "user " + std::to_string(nid));
  if (std::optional<Reply> refused = change.Start()) return *refused;
  StoreDb& db = context.db();
  std::optional<Record> user = ReadRecord(db, nid);
  if (!user) return change.Answer(Reply::Status(protocol::kNotFound));
  if (nid == kAdminNid) return change.Refuse("the administrator cannot be deleted");
  if (!IsUserKind(user->kind)) return change.Refuse("not a user: " + user->kind);
  const bool marked = change.Write("UUSR", "NID", nid, [&] {
    Statement mark(db, "UPDATE UUSR SET CCODE = ?, NSTAT = ? WHERE NID = ?");
    mark.Bind(1, DeletedCode(db, user->code))
        .Bind(2, std::int64_t{kDeletedState})
        .Bind(3, std::int64_t{nid});
    return mark.Done();
  });
  if (!marked || !change.WriteWhere("UUSRBM", "NCID", nid, "DELETE FROM UUSRBM WHERE NCID = ?")) {
    return change.Failed();
  }
  return change.Commit(Reply::Status(protocol::kUserDeleted));
}

Reply RemoveUser(Context& context, wire::BodyReader& in) {
  std::int32_t linkNid = 0;
  if (!in.NextInt32(&linkNid)) return Reply::BadMessage();
  MembershipChange change(context, "remove user", linkNid, "link " + std::to_string(linkNid));
  if (std::optional<Reply> refused = change.Start()) return *refused;
  StoreDb& db = context.db();
  const std::optional<std::int64_t> placed = LinkedRecord(db, linkNid);
  if (!placed) return change.Answer(Reply::Status(protocol::kNotFound));
  std::optional<Record> record = ReadRecord(db, *placed);
  if (!record || !IsUserKind(record->kind)) {
    return change.Refuse("only users are removed; departments and roles are moved or deleted");
  }
  if (!change.WriteWhere("UUSRBM", "NID", linkNid, "DELETE FROM UUSRBM WHERE NID = ?")) {
    return change.Failed();
  }
  return change.Commit(Reply::Status(protocol::kUserDeleted));
}

// A department or role goes only when nothing hangs below it: the check and the delete are
// one transaction, so nothing is attached in between.
Reply DeleteNode(Context& context, wire::BodyReader& in) {
  std::int32_t nid = 0;
  if (!in.NextInt32(&nid)) return Reply::BadMessage();
  MembershipChange change(context, "delete node", nid, "node " + std::to_string(nid));
  if (std::optional<Reply> refused = change.Start()) return *refused;
  StoreDb& db = context.db();
  std::optional<Record> node = ReadRecord(db, nid);
  if (!node) return change.Answer(Reply::Status(protocol::kNotFound));
  if (nid == kRootNid) return change.Refuse("the organisation's root cannot be deleted");
  if (!IsDepartmentOrRole(node->kind)) return change.Refuse("not a department or role");
  Statement below(db, "SELECT 1 FROM UUSRBM WHERE NPID = ? LIMIT 1");
  below.Bind(1, std::int64_t{nid});
  if (below.Row()) return change.Answer(Reply::Status(protocol::kNodeNotEmpty));
  if (!change.WriteWhere("UUSRBM", "NCID", nid, "DELETE FROM UUSRBM WHERE NCID = ?") ||
      !WriteForNid(db, "DELETE FROM SRV_PRIVILEGE WHERE NID = ?", nid) ||
      !change.WriteWhere("UUSR", "NID", nid, "DELETE FROM UUSR WHERE NID = ?")) {
    return change.Failed();
  }
  return change.Commit(Reply::Status(protocol::kNodeDeleted));
}

}  // namespace hrzsrv::handlers
