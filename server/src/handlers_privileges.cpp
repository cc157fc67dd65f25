// Reading and saving a node's privilege string and grantor list, each in two steps: the
// first names the node, the continuation (the first reply's header sent back) completes it.
#include "audit.h"
#include "handlers.h"
#include "privilege_store.h"
#include "rights.h"

namespace hrzsrv::handlers {
namespace {

constexpr std::string_view kAuditTable = "privilege";

Reply Refuse(Context& context, std::int64_t node, std::string_view reason) {
  WriteAudit(context, {audit::kRefused, kAuditTable, node, "", reason});
  return Reply::Failure(reason);
}

// The node's stored set when the session may read or save it; otherwise none and why not.
std::optional<PrivilegeSet> OpenFirstStep(Context& context, std::int32_t node,
                                          std::string* refusal) {
  if (!MayEditPrivileges(context.db(), context.session)) {
    *refusal = "the privilege editor needs \"UFUNCPVG\" or the administrator";
    return std::nullopt;
  }
  std::optional<PrivilegeSet> set = LoadPrivilegeSet(context.db(), node);
  if (!set) *refusal = "no record " + std::to_string(node);
  return set;
}

// The first step this continuation completes, or why there is none: no first step came just
// before it, or it was of the other kind, or the header names another node or exchange.
std::string TakeFirstStep(Context& context, protocol::Kind continuation, PrivilegeStep* step) {
  if (!context.privilegeStep) return "no first step before this continuation";
  const PrivilegeStep& pending = *context.privilegeStep;
  if (pending.continuation.code != continuation.code ||
      pending.continuation.group != continuation.group) {
    return "the continuation of another exchange";
  }
  const std::int32_t node = wire::ReadInt32(context.header.data() + protocol::kExchangeNodeByte);
  const auto number = static_cast<std::uint32_t>(
      wire::ReadInt32(context.header.data() + protocol::kExchangeNumberByte));
  if (node != pending.node) return "a continuation for another node";
  if (number != pending.number) return "a continuation of an earlier exchange";
  *step = std::move(*context.privilegeStep);
  return {};
}

Reply FirstStepReply(std::uint8_t status, wire::BodyWriter& body, PrivilegeStep step) {
  Reply reply = Reply::With(status, body);
  reply.startsExchange = std::move(step);
  return reply;
}

// Applies a permitted save and writes each grant and withdrawal to the audit log, all in
// one transaction; the refusal or failure otherwise.
Reply ApplySave(Context& context, std::int32_t node, const PrivilegeSet& sent) {
  StoreDb& db = context.db();
  std::string refusal = "no record " + std::to_string(node);
  {
    Transaction tx(db);
    if (!tx.ok()) return Reply::Status(protocol::kServerError);
    std::optional<PrivilegeSet> stored = LoadPrivilegeSet(db, node);
    const CatalogueCodes catalogue = ReadCatalogueCodes(db);
    PrivilegeSave save;
    if (stored) {
      save = DecidePrivilegeSave(RightsOf(db, context.session), *stored, sent, catalogue);
      refusal = std::move(save.refusal);
    }
    if (refusal.empty()) {
      bool written = StorePrivilegeSet(db, node, save.result);
      for (const MarkChange& change : save.changes) {
        const std::string code = PositionName(catalogue, change.position);
        const std::string marks = std::string{change.before} + " -> " + change.after;
        if (change.Withdraws()) {
          const std::string text = marks + ", granted by " + std::to_string(change.formerGrantor);
          written =
              written && WriteAudit(context, {audit::kWithdrawn, kAuditTable, node, code, text});
        }
        if (change.Grants()) {
          written =
              written && WriteAudit(context, {audit::kGranted, kAuditTable, node, code, marks});
        }
      }
      if (!written || !tx.Commit()) return Reply::Status(protocol::kServerError);
      return Reply::Status(protocol::kPrivilegesSaved);
    }
  }
  return Refuse(context, node, refusal);
}

}  // namespace

Reply ReadPrivileges(Context& context, wire::BodyReader& in) {
  std::int32_t node = 0;
  if (!in.NextInt32(&node) || !in.AtTerminator()) return Reply::BadMessage();
  std::string refusal;
  std::optional<PrivilegeSet> set = OpenFirstStep(context, node, &refusal);
  if (!set) return Refuse(context, node, refusal);
  PrivilegeStep step{protocol::kReadPrivilegesNext, node, 0, std::move(*set)};
  wire::BodyWriter body;
  if (!body.PutText(step.set.marks)) return Reply::Status(protocol::kServerError);
  return FirstStepReply(protocol::kPrivilegeMarks, body, std::move(step));
}

Reply ReadPrivilegesNext(Context& context, wire::BodyReader& in) {
  std::span<const std::uint8_t> field;
  if (in.Next(&field)) return Reply::BadMessage();
  PrivilegeStep step;
  const std::string refusal = TakeFirstStep(context, protocol::kReadPrivilegesNext, &step);
  if (!refusal.empty()) return Refuse(context, -1, refusal);
  std::vector<std::uint8_t> grantors(4 * step.set.grantors.size());
  for (std::size_t i = 0; i < step.set.grantors.size(); ++i) {
    wire::WriteInt32(grantors.data() + 4 * i, static_cast<std::int32_t>(step.set.grantors[i]));
  }
  wire::BodyWriter body;
  if (!body.PutBytes(grantors.data(), grantors.size())) {
    return Reply::Status(protocol::kServerError);
  }
  return Reply::With(protocol::kPrivilegeGrantors, body);
}

Reply SavePrivileges(Context& context, wire::BodyReader& in) {
  std::int32_t node = 0;
  std::string marks;
  if (!in.NextInt32(&node) || !in.NextTextZ(&marks) || !in.AtTerminator()) {
    return Reply::BadMessage();
  }
  std::string refusal;
  if (OpenFirstStep(context, node, &refusal)) refusal = RefuseMarksForm(marks);
  if (!refusal.empty()) return Refuse(context, node, refusal);
  PrivilegeStep step{protocol::kSavePrivilegesNext, node, 0, PrivilegeSet{std::move(marks), {}}};
  wire::BodyWriter body;
  return FirstStepReply(protocol::kPrivilegeMarksTaken, body, std::move(step));
}

Reply SavePrivilegesNext(Context& context, wire::BodyReader& in) {
  std::span<const std::uint8_t> grantors;
  PrivilegeStep step;
  const std::string refusal = TakeFirstStep(context, protocol::kSavePrivilegesNext, &step);
  if (!refusal.empty()) return Refuse(context, -1, refusal);
  if (!in.Next(&grantors) || !in.AtTerminator() || grantors.size() != 4 * step.set.marks.size()) {
    return Reply::BadMessage();
  }
  for (std::size_t i = 0; i < step.set.marks.size(); ++i) {
    step.set.grantors.push_back(
        static_cast<std::uint32_t>(wire::ReadInt32(grantors.data() + 4 * i)));
  }
  return ApplySave(context, step.node, step.set);
}

}  // namespace hrzsrv::handlers
