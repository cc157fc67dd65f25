#include "client_sql_guard.h"
#include "hrzcommon/text.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

#include "statement.h"

namespace hrzsrv {
namespace {

bool HasPrefixNoCase(const char* name, std::string_view prefix) {
  return name != nullptr && hrz::StartsWithNoCase(name, prefix);
}

bool IsPrivate(const char* table) {
  return HasPrefixNoCase(table, "SRV_") || HasPrefixNoCase(table, "sqlite_");
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

}  // namespace

bool ClientSqlGuard::Install(StoreDb& store) {
  sqlite3* db = store.sqlite();
  if (db == nullptr) return false;
  Statement read(store,
                 "SELECT m.name, p.name FROM sqlite_master m JOIN pragma_table_info(m.name) p "
                 "WHERE m.type = 'table' ORDER BY m.name, p.cid");
  while (read.Row()) columns_[Upper(read.Text(0))].push_back(read.Text(1));
  if (columns_.empty()) return false;
  sqlite3_set_authorizer(db, Authorize, this);
  sqlite3_preupdate_hook(db, PreUpdate, this);
  return true;
}

void ClientSqlGuard::StartStatement() {
  writes_.clear();
  plans_.clear();
  lastPlan_ = {};
  checking_ = true;
}

void ClientSqlGuard::Arm(const Rights& rights) {
  rights_ = rights;
  outcome_ = Outcome{};
}

ClientSqlGuard::Outcome ClientSqlGuard::Disarm() {
  rights_.reset();
  return std::exchange(outcome_, Outcome{});
}

int ClientSqlGuard::Authorize(void* self, int action, const char* a, const char* b, const char*,
                              const char*) {
  auto& guard = *static_cast<ClientSqlGuard*>(self);
  if (!guard.checking_) return SQLITE_OK;
  switch (action) {
    case SQLITE_READ:
      // a is the table for reads and for the three kinds of write.
      return IsPrivate(a) ? SQLITE_DENY : SQLITE_OK;
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE: {
      if (IsPrivate(a)) return SQLITE_DENY;
      const WriteKind kind = action == SQLITE_INSERT   ? WriteKind::kInsert
                             : action == SQLITE_DELETE ? WriteKind::kDelete
                                                       : WriteKind::kUpdate;
      guard.writes_.push_back({kind, a, action == SQLITE_UPDATE && b != nullptr ? b : ""});
      return SQLITE_OK;
    }
    case SQLITE_SELECT:
    case SQLITE_RECURSIVE:
      return SQLITE_OK;
    case SQLITE_FUNCTION:
      return HasPrefixNoCase(b, "load_extension") ? SQLITE_DENY : SQLITE_OK;
    default:
      return SQLITE_DENY;
  }
}

void ClientSqlGuard::PreUpdate(void* self, sqlite3* db, int op, const char*, const char* table,
                               sqlite3_int64, sqlite3_int64) {
  auto& guard = *static_cast<ClientSqlGuard*>(self);
  if (guard.rights_) guard.CheckRow(db, op, table);
}

// An update changes only the columns it sets, so of an updated row only those are read,
// with the ones every rule looks at; inserted and deleted rows are read whole.
const ClientSqlGuard::ReadPlan* ClientSqlGuard::PlanFor(const char* table, bool update) {
  // SQLite names a table by the same pointer for every row of a statement.
  if (table == lastPlan_.table && update == lastPlan_.update) return lastPlan_.plan;
  const ReadPlan* plan = MakePlan(table, update);
  lastPlan_ = {table, update, plan};
  return plan;
}

const ClientSqlGuard::ReadPlan* ClientSqlGuard::MakePlan(const std::string& table, bool update) {
  const std::string key = Upper(table) + (update ? " update" : "");
  if (auto planned = plans_.find(key); planned != plans_.end()) return &planned->second;
  const auto known = columns_.find(Upper(table));
  if (known == columns_.end()) return nullptr;
  ReadPlan plan;
  plan.tableColumns = static_cast<int>(known->second.size());
  for (int place = 0; place < plan.tableColumns; ++place) {
    const std::string& name = known->second[static_cast<std::size_t>(place)];
    const bool set = std::any_of(writes_.begin(), writes_.end(), [&](const StatementWrite& w) {
      return hrz::EqualsNoCase(w.table, table) && hrz::EqualsNoCase(w.column, name);
    });
    if (!update || set || RulesReadColumn(name)) {
      plan.names.push_back(name);
      plan.places.push_back(place);
    }
  }
  return &plans_.emplace(key, std::move(plan)).first->second;
}

// A refused row cannot be stopped here; it is remembered, and the statement's transaction
// is rolled back when the statement ends.
void ClientSqlGuard::CheckRow(sqlite3* db, int op, const char* table) {
  RowChange change;
  change.kind = op == SQLITE_INSERT   ? WriteKind::kInsert
                : op == SQLITE_DELETE ? WriteKind::kDelete
                                      : WriteKind::kUpdate;
  change.table = table;
  const ReadPlan* plan = PlanFor(table, op == SQLITE_UPDATE);
  if (plan != nullptr && plan->tableColumns == sqlite3_preupdate_count(db)) {
    change.columns = &plan->names;
  }
  for (std::size_t i = 0; change.columns != nullptr && i < plan->places.size(); ++i) {
    sqlite3_value* value = nullptr;
    if (op != SQLITE_INSERT) {
      if (sqlite3_preupdate_old(db, plan->places[i], &value) != SQLITE_OK) change.columns = nullptr;
      change.before.push_back(CellOf(value));
    }
    if (op != SQLITE_DELETE && change.columns != nullptr) {
      if (sqlite3_preupdate_new(db, plan->places[i], &value) != SQLITE_OK) change.columns = nullptr;
      change.after.push_back(CellOf(value));
    }
  }
  std::string reason = RefuseRowChange(*rights_, change);
  if (reason.empty()) {
    std::vector<RightsNote> notes = RightsNotesOf(change);
    outcome_.notes.insert(outcome_.notes.end(), notes.begin(), notes.end());
    return;
  }
  if (!outcome_.refusal.empty()) return;
  outcome_.refusal = std::move(reason);
  outcome_.table = change.table;
  const Cell* nid = change.Before("NID") ? change.Before("NID") : change.After("NID");
  if (nid != nullptr && nid->type == SQLITE_INTEGER) outcome_.target = nid->integer;
}

}  // namespace hrzsrv
