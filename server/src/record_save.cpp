#include "record_save.h"

#include <charconv>
#include <limits>

#include "audit.h"
#include "hrzcommon/text.h"
#include "rights.h"
#include "store.h"

namespace hrzsrv {
namespace {

namespace p = protocol;

constexpr std::string_view kAuditRequest = "record save";

struct Refusal {
  std::uint8_t status = 0;  // 0: none
  std::string reason;
  std::string field;         // the field concerned, for the audit log
  std::int32_t holder = -1;  // the holder of a code that is taken
  explicit operator bool() const { return status != 0; }
};

Refusal Refuse(std::uint8_t status, std::string reason, std::string field = {}) {
  return Refusal{status, std::move(reason), std::move(field), -1};
}

std::string FieldName(const SaveColumn& column) {
  return std::string(column.table) + "." + std::string(column.column);
}

void BindCell(Statement& statement, int index, const Cell& cell) {
  switch (cell.type) {
    case SQLITE_INTEGER:
      statement.Bind(index, cell.integer);
      return;
    case SQLITE_FLOAT: {
      double value = 0;
      std::from_chars(cell.bytes.data(), cell.bytes.data() + cell.bytes.size(), value);
      statement.Bind(index, value);
      return;
    }
    case SQLITE_TEXT:
      statement.Bind(index, std::string_view(cell.bytes));
      return;
    default:
      statement.BindNull(index);
  }
}

bool IsDepartmentOrRole(std::string_view kind) {
  return hrz::EqualsNoCase(kind, "UDEPT") || hrz::EqualsNoCase(kind, "UROLE");
}

// One record save from its check to its commit.
class RecordSave {
 public:
  RecordSave(Context& context, const SaveBlock& block, const std::vector<SaveEntry>& entries)
      : context_(context), db_(context.db()), block_(block), entries_(entries) {
    names_.push_back("NID");
    for (const SaveColumn& column : SaveColumns()) {
      if (column.table == "UUSR") names_.emplace_back(column.column);
    }
  }

  Reply Run() {
    Refusal refusal = CheckMessage();
    if (!refusal) {
      Transaction transaction(db_);
      if (!transaction.ok()) return Reply::Status(p::kServerError);
      refusal = Apply();
      if (!refusal && !transaction.Commit()) return Reply::Status(p::kServerError);
    }
    if (!refusal) return Saved();
    // Written after the rollback, so that the refusal is kept.
    if (refusal.status == p::kRecordSaveNoRight) {
      WriteAudit(context_,
                 {audit::kRefused, kAuditRequest, block_.itemNid, refusal.field, refusal.reason});
    }
    Reply reply = RecordSaveRefusal(refusal.status, refusal.reason);
    if (refusal.status == p::kRecordSaveCodeTaken) {
      wire::BodyWriter body;
      body.PutText(std::string_view(refusal.reason).substr(0, p::kMaxWriterField));
      body.PutInt32(refusal.holder);
      reply.body = body.Finish();
    }
    return reply;
  }

 private:
  struct Change {
    const SaveColumn* column;
    Cell value;
  };

  // What needs no store: each field at most once, each value storable.
  Refusal CheckMessage() {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      const SaveColumn& column = *entries_[i].column;
      for (std::size_t j = 0; j < i; ++j) {
        if (entries_[j].column == &column) {
          return Refuse(p::kBadMessage, FieldName(column) + " is given twice");
        }
      }
      Change change{&column, {}};
      if (std::string error = ConvertSaveValue(column, entries_[i].text, &change.value);
          !error.empty()) {
        return Refuse(p::kRecordSaveRefused, error, FieldName(column));
      }
      changes_.push_back(std::move(change));
    }
    return {};
  }

  Refusal Apply() {
    rights_ = RightsOf(db_, context_.session);
    Refusal refusal = block_.IsNew() ? CheckCreation() : CheckUpdate();
    if (!refusal) refusal = CheckAdministrator();
    if (!refusal) refusal = CheckCode();
    if (!refusal) refusal = block_.IsNew() ? Insert() : Update();
    if (!refusal && !AuditChanges()) refusal = Refuse(p::kServerError, "the audit log failed");
    return refusal;
  }

  Refusal CheckCreation() {
    if (std::string reason = RefuseRecordCreation(rights_); !reason.empty()) {
      return Refuse(p::kRecordSaveNoRight, reason, "UUSR insert");
    }
    Statement parent(db_, "SELECT CSRC FROM UUSR WHERE NID = ?");
    parent.Bind(1, std::int64_t{block_.parentNid});
    if (!parent.Row() || !IsDepartmentOrRole(parent.Text(0))) {
      return Refuse(p::kRecordSaveRefused, "the parent NID " + std::to_string(block_.parentNid) +
                                               " is not a department or role");
    }
    for (std::string_view needed : {"CCODE", "CSRC"}) {
      if (Find("UUSR", needed) == nullptr) {
        return Refuse(p::kRecordSaveRefused, "a new record needs UUSR." + std::string(needed));
      }
    }
    if (Change* creator = Find("UUSR", "NCRTOR")) {
      // The creator is whoever saves; the module names it by its code.
      Statement holder(db_, "SELECT NID FROM UUSR WHERE CCODE = ?");
      holder.Bind(1, std::string_view(creator->value.bytes));
      if (!holder.Row() || holder.Int(0) != context_.session.userNid) {
        return Refuse(p::kRecordSaveNoRight, "the creator is the user who saves", "UUSR.NCRTOR");
      }
    }
    AddServerValue("NCRTOR", "");
    AddServerValue("DCRTE", std::to_string(context_.Now()));
    before_.clear();
    after_.assign(names_.size(), Cell{});
    for (const Change& change : changes_) Set(&after_, change);
    return {};
  }

  Refusal CheckUpdate() {
    if (!ReadRecord(block_.itemNid, &before_)) {
      return Refuse(p::kRecordSaveRefused,
                    "there is no record with NID " + std::to_string(block_.itemNid));
    }
    after_ = before_;
    std::vector<Change> changed;
    for (const Change& change : changes_) {
      const SaveColumn& column = *change.column;
      if (column.table == "UUSRBM") {
        Refusal refusal = CheckLinkChange(change);
        if (refusal) return refusal;
        if (linkChange_) changed.push_back(change);
        continue;
      }
      if (SameSavedValue(*ValueIn(before_, column.column), change.value)) continue;
      if (std::string reason = RefuseColumnChange(rights_, column, block_.itemNid);
          !reason.empty()) {
        return Refuse(p::kRecordSaveNoRight, reason, FieldName(column));
      }
      Set(&after_, change);
      changed.push_back(change);
    }
    changes_ = std::move(changed);
    return {};
  }

  // A link's fields apply to the record's own link, named by the block.
  Refusal CheckLinkChange(const Change& change) {
    if (block_.linkMode != p::kRecordLinkUpdate) {
      return Refuse(p::kRecordSaveRefused, "the block names no link to write");
    }
    Statement link(db_, "SELECT CVWA FROM UUSRBM WHERE NID = ? AND NCID = ?");
    link.Bind(1, std::int64_t{block_.linkNid}).Bind(2, std::int64_t{block_.itemNid});
    if (!link.Row()) {
      return Refuse(p::kRecordSaveRefused,
                    "the link " + std::to_string(block_.linkNid) + " is not one of the record's");
    }
    if (SameSavedValue(link.CellAt(0), change.value)) return {};
    if (std::string reason = RefuseColumnChange(rights_, *change.column, block_.itemNid);
        !reason.empty()) {
      return Refuse(p::kRecordSaveNoRight, reason, FieldName(*change.column));
    }
    linkChange_ = true;
    return {};
  }

  Refusal CheckAdministrator() {
    RowChange change = RecordChange();
    if (std::string reason = RefuseSystemRecordChange(change); !reason.empty()) {
      return Refuse(p::kRecordSaveNoRight, reason, "UUSR.CCODE");
    }
    return {};
  }

  // Two records never hold the same code, in any letter case: the column compares without
  // case, and this transaction holds the store's write lock from the check to the commit.
  Refusal CheckCode() {
    const Change* code = Find("UUSR", "CCODE");
    if (code == nullptr) return {};
    Statement holder(db_, "SELECT NID FROM UUSR WHERE CCODE = ? AND NID IS DISTINCT FROM ?");
    holder.Bind(1, std::string_view(code->value.bytes)).Bind(2, std::int64_t{block_.itemNid});
    if (!holder.Row()) return {};
    Refusal taken = Refuse(p::kRecordSaveCodeTaken, "the code '" + code->value.bytes + "' is taken",
                           "UUSR.CCODE");
    taken.holder = static_cast<std::int32_t>(holder.Int(0));
    return taken;
  }

  Refusal Insert() {
    std::string columns, values;
    for (const Change& change : changes_) {
      if (change.column->table != "UUSR") continue;
      columns += std::string(columns.empty() ? "" : ", ") + std::string(change.column->column);
      values += values.empty() ? "?" : ", ?";
    }
    Statement insert(db_, "INSERT INTO UUSR(" + columns + ") VALUES(" + values + ")");
    int index = 0;
    for (const Change& change : changes_) {
      if (change.column->table == "UUSR") BindCell(insert, ++index, UusrValue(change));
    }
    if (Refusal refusal = Written(insert.Done())) return refusal;
    itemNid_ = db_.LastInsertId();
    Statement link(db_, "INSERT INTO UUSRBM(NPID, NCID, CVWA) VALUES(?, ?, 'T')");
    link.Bind(1, std::int64_t{block_.parentNid}).Bind(2, itemNid_);
    if (Refusal refusal = Written(link.Done())) return refusal;
    linkNid_ = db_.LastInsertId();
    if (itemNid_ > std::numeric_limits<std::int32_t>::max() ||
        linkNid_ > std::numeric_limits<std::int32_t>::max()) {
      return Refuse(p::kServerError, "NIDs are used up");
    }
    return {};
  }

  Refusal Update() {
    itemNid_ = block_.itemNid;
    linkNid_ = block_.linkNid;
    std::string assignments;
    for (const Change& change : changes_) {
      if (change.column->table != "UUSR") continue;
      assignments += std::string(assignments.empty() ? "" : ", ") +
                     std::string(change.column->column) + " = ?";
    }
    if (!assignments.empty()) {
      Statement update(db_, "UPDATE UUSR SET " + assignments + " WHERE NID = ?");
      int index = 0;
      for (const Change& change : changes_) {
        if (change.column->table == "UUSR") BindCell(update, ++index, change.value);
      }
      update.Bind(++index, itemNid_);
      if (Refusal refusal = Written(update.Done())) return refusal;
    }
    if (linkChange_) {
      Statement link(db_, "UPDATE UUSRBM SET CVWA = ? WHERE NID = ?");
      BindCell(link, 1, Find("UUSRBM", "CVWA")->value);
      link.Bind(2, linkNid_);
      if (Refusal refusal = Written(link.Done())) return refusal;
    }
    return {};
  }

  // A new record missing its creator or creation date gets them from the server, which
  // knows both.
  void AddServerValue(std::string_view column, std::string_view text) {
    if (Find("UUSR", column) != nullptr) return;
    Change change{FindSaveColumn("UUSR", column), {}};
    ConvertSaveValue(*change.column, text, &change.value);
    changes_.push_back(std::move(change));
  }

  // A creator goes in as its NID: the user who saves.
  Cell UusrValue(const Change& change) const {
    if (change.column->value != SaveValue::kCreator) return change.value;
    Cell nid;
    nid.type = SQLITE_INTEGER;
    nid.integer = context_.session.userNid;
    return nid;
  }

  Refusal Written(bool done) {
    if (done) return {};
    if (db_.LastFailure() == StoreFailure::kUnique) {
      return Refuse(p::kRecordSaveCodeTaken, "the code is taken", "UUSR.CCODE");
    }
    return Refuse(p::kServerError, db_.LastError());
  }

  // Codes, states, kinds and new records and links, as the client SQL checks note them.
  bool AuditChanges() {
    if (!ReadRecord(itemNid_, &after_)) return false;
    std::vector<RightsNote> notes = RightsNotesOf(RecordChange());
    if (block_.IsNew()) {
      const std::vector<std::string> linkColumns = {"NID", "NPID", "NCID"};
      RowChange link;
      link.kind = WriteKind::kInsert;
      link.table = "UUSRBM";
      link.columns = &linkColumns;
      for (std::int64_t value : {linkNid_, std::int64_t{block_.parentNid}, itemNid_}) {
        link.after.push_back(Cell{SQLITE_INTEGER, value, {}});
      }
      std::vector<RightsNote> linkNotes = RightsNotesOf(link);
      notes.insert(notes.end(), linkNotes.begin(), linkNotes.end());
    }
    for (const RightsNote& note : notes) {
      if (!WriteAudit(context_,
                      {audit::kRightsChanged, note.table, note.target, note.what, note.text})) {
        return false;
      }
    }
    return true;
  }

  Reply Saved() const {
    std::array<std::uint8_t, p::kRecordBlockSize> block = block_.bytes;
    wire::WriteInt32(&block[p::kRecordNidOffset], static_cast<std::int32_t>(itemNid_));
    wire::WriteInt32(&block[p::kRecordModeOffset], p::kRecordModeUpdate);
    wire::WriteInt32(&block[p::kRecordLinkNidOffset], static_cast<std::int32_t>(linkNid_));
    wire::WriteInt32(&block[p::kRecordParentOffset], 0);
    wire::WriteInt32(&block[p::kRecordLinkModeOffset],
                     linkNid_ >= 1 ? p::kRecordLinkUpdate : p::kRecordLinkNone);
    wire::BodyWriter body;
    body.PutBytes(block.data(), block.size());
    return Reply::With(p::kRecordSaved, body);
  }

  RowChange RecordChange() const {
    RowChange change;
    change.kind = block_.IsNew() ? WriteKind::kInsert : WriteKind::kUpdate;
    change.table = "UUSR";
    change.columns = &names_;
    change.before = before_;
    change.after = after_;
    return change;
  }

  bool ReadRecord(std::int64_t nid, std::vector<Cell>* row) {
    std::string columns;
    for (const std::string& name : names_) columns += (columns.empty() ? "" : ", ") + name;
    Statement read(db_, "SELECT " + columns + " FROM UUSR WHERE NID = ?");
    read.Bind(1, nid);
    if (!read.Row()) return false;
    row->clear();
    for (std::size_t i = 0; i < names_.size(); ++i) {
      row->push_back(read.CellAt(static_cast<int>(i)));
    }
    return true;
  }

  const Cell* ValueIn(const std::vector<Cell>& row, std::string_view column) const {
    for (std::size_t i = 0; i < names_.size() && i < row.size(); ++i) {
      if (names_[i] == column) return &row[i];
    }
    static const Cell kNull;
    return &kNull;
  }

  void Set(std::vector<Cell>* row, const Change& change) const {
    for (std::size_t i = 0; i < names_.size() && i < row->size(); ++i) {
      if (change.column->table == "UUSR" && names_[i] == change.column->column) {
        (*row)[i] = UusrValue(change);
      }
    }
  }

  Change* Find(std::string_view table, std::string_view column) {
    for (Change& change : changes_) {
      if (change.column->table == table && change.column->column == column) return &change;
    }
    return nullptr;
  }

  Context& context_;
  StoreDb& db_;
  const SaveBlock& block_;
  const std::vector<SaveEntry>& entries_;
  Rights rights_;
  std::vector<std::string> names_;  // the columns read of the record: NID and the saved ones
  std::vector<Change> changes_;     // the converted entries; for an update, those that change
  std::vector<Cell> before_, after_;
  bool linkChange_ = false;
  std::int64_t itemNid_ = -1;
  std::int64_t linkNid_ = -1;
};

}  // namespace

Reply RecordSaveRefusal(std::uint8_t status, std::string_view reason) {
  wire::BodyWriter body;
  body.PutText(reason.substr(0, p::kMaxWriterField));
  return Reply::With(status, body);
}

Reply ApplyRecordSave(Context& context, const SaveBlock& block,
                      const std::vector<SaveEntry>& entries) {
  return RecordSave(context, block, entries).Run();
}

}  // namespace hrzsrv
