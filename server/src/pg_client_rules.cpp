#include "pg_client_rules.h"

#include <sodium.h>

#include <cstdint>
#include <limits>
#include <map>
#include <vector>

#include "hrzcommon/protocol.h"
#include "hrzcommon/text.h"
#include "hrzserver/pg_store.h"
#include "store.h"
#include "write_rules.h"

namespace hrzsrv {
namespace {

constexpr std::size_t kPasswordBytes = 32;

bool Fail(std::string* error, std::string text) {
  if (error) *error = std::move(text);
  return false;
}

// The name a value rule has in the rules table, and the condition under which it lets a
// change through: b and a are the column's value before and after (jsonb), o the old row.
struct ValueRuleText {
  ValueRule rule;
  std::string_view name;
};
constexpr ValueRuleText kValueRules[] = {
    {ValueRule::kAnyValue, "any"},           {ValueRule::kNullOnly, "null only"},
    {ValueRule::kRestoredState, "restored"}, {ValueRule::kRestoredCode, "restored code"},
    {ValueRule::kNotOwnRow, "not own row"},  {ValueRule::kLimit, "limit"},
};

std::string_view NameOf(ValueRule rule) {
  for (const ValueRuleText& text : kValueRules) {
    if (text.rule == rule) return text.name;
  }
  return {};
}

std::string ConditionOf(ValueRule rule) {
  switch (rule) {
    case ValueRule::kAnyValue:
      return "true";
    case ValueRule::kNullOnly:
      return "jsonb_typeof(a) = 'null'";
    case ValueRule::kRestoredState:
      return "b = '" + std::to_string(kDeletedState) + "'::jsonb AND a = '" +
             std::to_string(kNormalState) + "'::jsonb";
    case ValueRule::kRestoredCode:
      return "jsonb_typeof(b) = 'string' AND position(marker IN b #>> '{}') > 0 AND "
             "jsonb_typeof(a) = 'string' AND a #>> '{}' = hrz_private.RESTORED_CODE(b #>> '{}')";
    case ValueRule::kNotOwnRow:
      return "(o ->> 'nid')::bigint IS DISTINCT FROM nuser";
    case ValueRule::kLimit:
      return "jsonb_typeof(a) = 'number' AND (a #>> '{}') ~ '^[0-9]+$' AND (a #>> '{}')::numeric "
             "<= " +
             std::to_string(std::numeric_limits<std::int32_t>::max());
  }
  return "false";
}

std::string ValueAllowedFunction() {
  std::string cases;
  for (const ValueRuleText& text : kValueRules) {
    cases += "    WHEN " + hrz::SqlQuoted(text.name) + " THEN " + ConditionOf(text.rule) + "\n";
  }
  return R"sql(
CREATE FUNCTION hrz_private.RESTORED_CODE(code text) RETURNS text LANGUAGE plpgsql IMMUTABLE
  SET search_path = pg_catalog, pg_temp AS $code$
DECLARE
  marker CONSTANT text := )sql" +
         hrz::SqlQuoted(kDeletedMarker) + R"sql(;
BEGIN
  -- Every marker removed, one at a time from the start, then blanks and tabs trimmed.
  WHILE position(marker IN code) > 0 LOOP
    code := overlay(code PLACING '' FROM position(marker IN code) FOR length(marker));
  END LOOP;
  RETURN btrim(code, E' \t');
END
$code$;
CREATE FUNCTION hrz_private.CLIENT_VALUE_ALLOWED(rule text, b jsonb, a jsonb, o jsonb,
    nuser bigint) RETURNS boolean LANGUAGE plpgsql IMMUTABLE
  SET search_path = pg_catalog, pg_temp AS $allowed$
DECLARE
  marker CONSTANT text := )sql" +
         hrz::SqlQuoted(kDeletedMarker) + R"sql(;
BEGIN
  RETURN coalesce(CASE rule
)sql" + cases +
         R"sql(    ELSE false END, false);
END
$allowed$;
)sql";
}

// Who the connection is: a client role at all, and the rights the engine wrote for its
// backend. The administrator's rights count only on the administrator's role, so a session
// row can never lift a plain client connection.
constexpr std::string_view kRightsFunction = R"sql(
CREATE FUNCTION hrz_private.CLIENT_RIGHTS(OUT client boolean, OUT nuser bigint,
    OUT admin boolean, OUT manager boolean) LANGUAGE plpgsql STABLE SECURITY DEFINER
  SET search_path = pg_catalog, pg_temp AS $rights$
DECLARE
  admin_login boolean;
BEGIN
  client := false; nuser := -1; admin := false; manager := false;
  IF session_user::text NOT LIKE 'hrz\_client\_%' THEN
    RETURN;
  END IF;
  SELECT l.NADMIN INTO admin_login FROM hrz_private.SRV_CLIENT_LOGIN l
    WHERE l.CROLE = session_user::text;
  IF NOT FOUND THEN
    RETURN;
  END IF;
  client := true;
  SELECT s.NUSER, s.NADMIN AND admin_login, s.NMANAGER INTO nuser, admin, manager
    FROM hrz_private.SRV_CLIENT_SESSION s WHERE s.NPID = pg_backend_pid();
  IF NOT FOUND THEN
    nuser := -1; admin := false; manager := false;
  END IF;
END
$rights$;
)sql";

// The tables and columns a statement writes, before any row: as the SQLite authorizer's
// decision, also for a statement that touches no row. TG_ARGV[0] is the column an update sets.
constexpr std::string_view kStatementFunction = R"sql(
CREATE FUNCTION hrz_private.CLIENT_STATEMENT() RETURNS trigger LANGUAGE plpgsql
  SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $statement$
DECLARE
  r record;
  tbl CONSTANT text := upper(TG_TABLE_NAME);
BEGIN
  SELECT * INTO r FROM hrz_private.CLIENT_RIGHTS();
  IF NOT r.client OR r.admin THEN
    RETURN NULL;
  END IF;
  IF TG_OP = 'INSERT' THEN
    RAISE EXCEPTION 'only the administrator inserts into %', tbl
      USING ERRCODE = '42501', TABLE = tbl, CONSTRAINT = 'client rights';
  ELSIF TG_OP = 'DELETE' THEN
    RAISE EXCEPTION 'only the administrator deletes from %', tbl
      USING ERRCODE = '42501', TABLE = tbl, CONSTRAINT = 'client rights';
  ELSIF TG_OP = 'TRUNCATE' OR NOT EXISTS (SELECT 1 FROM hrz_private.SRV_CLIENT_RULE c
      WHERE c.CTABLE = tbl AND c.CCOLUMN = TG_ARGV[0] AND (r.manager OR NOT c.NMANAGERS)) THEN
    RAISE EXCEPTION 'no right to change %.%', tbl, TG_ARGV[0]
      USING ERRCODE = '42501', TABLE = tbl, CONSTRAINT = 'client rights';
  END IF;
  RETURN NULL;
END
$statement$;
)sql";

// Why a row change is refused, or null: the administrator's record and the root, the
// catalogue's last position, then the session's columns and values. o and n are the row
// before and after (null for an insert or a delete), columns the table's in order.
std::string RowRefusalFunction() {
  const std::string adminNid = std::to_string(kAdminNid), rootNid = std::to_string(kRootNid);
  const std::string deleted = std::to_string(kDeletedState);
  const std::string lastMark = std::to_string(hrz::protocol::kMaxPrivilegeMarks);
  return R"sql(
CREATE FUNCTION hrz_private.CLIENT_ROW_REFUSAL(tbl text, op text, o jsonb, n jsonb,
    nuser bigint, admin boolean, manager boolean, columns text[]) RETURNS text
  LANGUAGE plpgsql STABLE SET search_path = pg_catalog, pg_temp AS $refusal$
DECLARE
  was boolean;
  is_ boolean;
  col text;
  b jsonb;
  a jsonb;
BEGIN
  IF tbl = 'UUSR' THEN
    was := coalesce((o ->> 'nid')::bigint = )sql" +
         adminNid + R"sql(, false);
    is_ := coalesce((n ->> 'nid')::bigint = )sql" +
         adminNid + R"sql(, false);
    IF was AND op = 'DELETE' THEN
      RETURN 'the administrator''s record cannot be deleted';
    ELSIF was AND NOT is_ THEN
      RETURN 'the administrator''s record keeps its NID';
    ELSIF is_ AND NOT was THEN
      RETURN 'the administrator''s NID is reserved';
    ELSIF was AND o -> 'ccode' IS DISTINCT FROM n -> 'ccode' THEN
      RETURN 'the administrator''s code cannot change';
    ELSIF was AND o -> 'csrc' IS DISTINCT FROM n -> 'csrc' THEN
      RETURN 'the administrator''s kind cannot change';
    ELSIF was AND (o -> 'clgnip' IS DISTINCT FROM n -> 'clgnip' OR
                   o -> 'clgnmac' IS DISTINCT FROM n -> 'clgnmac') THEN
      RETURN 'the administrator''s login lists cannot change';
    ELSIF was AND n -> 'nstat' = ')sql" +
         deleted + R"sql('::jsonb AND o -> 'nstat' IS DISTINCT FROM n -> 'nstat' THEN
      RETURN 'the administrator''s record cannot be deleted';
    ELSIF NOT is_ AND jsonb_typeof(n -> 'ccode') = 'string' AND
        upper(btrim(n ->> 'ccode', E' \t')) = 'ADM' THEN
      RETURN 'the administrator''s code is reserved';
    END IF;
    was := coalesce((o ->> 'nid')::bigint = )sql" +
         rootNid + R"sql(, false);
    is_ := coalesce((n ->> 'nid')::bigint = )sql" +
         rootNid + R"sql(, false);
    IF was AND (op = 'DELETE' OR (n -> 'nstat' = ')sql" +
         deleted + R"sql('::jsonb AND
        o -> 'nstat' IS DISTINCT FROM n -> 'nstat')) THEN
      RETURN 'the organisation''s root cannot be deleted';
    ELSIF was <> is_ AND op = 'UPDATE' THEN
      RETURN 'the organisation''s root keeps its NID';
    ELSIF was AND o -> 'csrc' IS DISTINCT FROM n -> 'csrc' THEN
      RETURN 'the organisation''s root stays a department';
    END IF;
  END IF;
  IF tbl = 'UUSRFN' AND op <> 'DELETE' AND o -> 'nfnchr' IS DISTINCT FROM n -> 'nfnchr' AND
      jsonb_typeof(n -> 'nfnchr') = 'number' AND (n ->> 'nfnchr')::numeric > )sql" +
         lastMark + R"sql( THEN
    RETURN 'a catalogue entry''s position is at most )sql" +
         lastMark + R"sql(: no privilege string holds a mark beyond it';
  END IF;
  IF admin THEN
    RETURN NULL;
  ELSIF op = 'INSERT' THEN
    RETURN 'only the administrator inserts into ' || tbl;
  ELSIF op = 'DELETE' THEN
    RETURN 'only the administrator deletes from ' || tbl;
  END IF;
  FOREACH col IN ARRAY columns LOOP
    b := o -> lower(col);
    a := n -> lower(col);
    CONTINUE WHEN b IS NOT DISTINCT FROM a;
    IF NOT EXISTS (SELECT 1 FROM hrz_private.SRV_CLIENT_RULE c
        WHERE c.CTABLE = tbl AND c.CCOLUMN = col
          AND CASE WHEN c.NMANAGERS THEN manager
                   ELSE coalesce((o ->> 'nid')::bigint = nuser, false) END
          AND hrz_private.CLIENT_VALUE_ALLOWED(c.CVALUES, b, a, o, nuser)) THEN
      RETURN 'no right to change ' || tbl || '.' || col || ' of the row with NID ' ||
        coalesce(o ->> 'nid', 'NULL');
    END IF;
  END LOOP;
  RETURN NULL;
END
$refusal$;
)sql";
}

// Each row a client role writes, checked as it will be stored; TG_ARGV holds the table's
// columns in order, as the SQLite hook reads them. The detail names the row's NID for the
// audit of the refusal.
constexpr std::string_view kRowFunction = R"sql(
CREATE FUNCTION hrz_private.CLIENT_ROW() RETURNS trigger LANGUAGE plpgsql
  SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $row$
DECLARE
  r record;
  o jsonb;
  n jsonb;
  reason text;
  tbl CONSTANT text := upper(TG_TABLE_NAME);
BEGIN
  SELECT * INTO r FROM hrz_private.CLIENT_RIGHTS();
  IF r.client THEN
    IF TG_OP <> 'INSERT' THEN o := to_jsonb(OLD); END IF;
    IF TG_OP <> 'DELETE' THEN n := to_jsonb(NEW); END IF;
    reason := hrz_private.CLIENT_ROW_REFUSAL(tbl, TG_OP, o, n, r.nuser, r.admin, r.manager,
                                             TG_ARGV);
    IF reason IS NOT NULL THEN
      RAISE EXCEPTION '%', reason USING ERRCODE = '42501', TABLE = tbl,
        CONSTRAINT = 'client rights', DETAIL = coalesce(o ->> 'nid', n ->> 'nid', '');
    END IF;
  END IF;
  IF TG_OP = 'DELETE' THEN
    RETURN OLD;
  END IF;
  RETURN NEW;
END
$row$;
)sql";

// The rows of a client role's statement that change rights, kept for the engine to audit once
// the statement has committed; TG_ARGV holds the columns whose change counts.
constexpr std::string_view kNoteFunction = R"sql(
CREATE FUNCTION hrz_private.CLIENT_NOTE() RETURNS trigger LANGUAGE plpgsql
  SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $note$
DECLARE
  o jsonb;
  n jsonb;
BEGIN
  IF NOT (SELECT client FROM hrz_private.CLIENT_RIGHTS()) THEN
    RETURN NULL;
  END IF;
  IF TG_OP <> 'INSERT' THEN o := to_jsonb(OLD); END IF;
  IF TG_OP <> 'DELETE' THEN n := to_jsonb(NEW); END IF;
  IF TG_OP = 'UPDATE' AND NOT EXISTS (SELECT 1 FROM unnest(TG_ARGV) c
      WHERE o -> lower(c) IS DISTINCT FROM n -> lower(c)) THEN
    RETURN NULL;
  END IF;
  INSERT INTO hrz_private.SRV_CLIENT_NOTE(NPID, CTABLE, CKIND, JBEFORE, JAFTER)
    VALUES (pg_backend_pid(), upper(TG_TABLE_NAME), TG_OP, o, n);
  RETURN NULL;
END
$note$;
)sql";

constexpr std::string_view kPrivateTables = R"sql(
CREATE TABLE hrz_private.SRV_CLIENT_LOGIN(CROLE text PRIMARY KEY, NADMIN boolean NOT NULL UNIQUE,
  CPASSWORD text NOT NULL);
CREATE TABLE hrz_private.SRV_CLIENT_SESSION(NPID integer PRIMARY KEY, NUSER bigint NOT NULL,
  NADMIN boolean NOT NULL, NMANAGER boolean NOT NULL);
CREATE TABLE hrz_private.SRV_CLIENT_NOTE(NID bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  NPID integer NOT NULL, CTABLE text NOT NULL, CKIND text NOT NULL, JBEFORE jsonb, JAFTER jsonb);
CREATE INDEX SRV_CLIENT_NOTE_PID ON hrz_private.SRV_CLIENT_NOTE(NPID);
CREATE TABLE hrz_private.SRV_CLIENT_RULE(CTABLE text NOT NULL, CCOLUMN text NOT NULL,
  NMANAGERS boolean NOT NULL, CVALUES text NOT NULL, PRIMARY KEY(CTABLE, CCOLUMN, CVALUES));
)sql";

std::string RulesRows() {
  std::string sql;
  for (const WritableColumn& column : WritableColumns()) {
    sql += "INSERT INTO hrz_private.SRV_CLIENT_RULE VALUES(" + hrz::SqlQuoted(column.table) + ", " +
           hrz::SqlQuoted(column.column) + ", " + (column.managersOnly ? "true" : "false") + ", " +
           hrz::SqlQuoted(NameOf(column.values)) + ");\n";
  }
  return sql;
}

std::string RandomPassword() {
  unsigned char bytes[kPasswordBytes];
  randombytes_buf(bytes, sizeof bytes);
  char hex[kPasswordBytes * 2 + 1];
  sodium_bin2hex(hex, sizeof hex, bytes, sizeof bytes);
  sodium_memzero(bytes, sizeof bytes);
  return hex;
}

// Roles belong to the cluster, so each database has its own two, named after its number in
// the cluster: a second organisation neither shares their passwords nor resets them.
bool RolesScript(pg::Connection& db, std::string* sql, std::string* roles, std::string* error) {
  const pg::Result oid =
      db.Exec("SELECT oid::text FROM pg_database WHERE datname = current_database()");
  if (!oid.ok() || oid.Rows() != 1) return Fail(error, "cannot read the database's number");
  const std::string suffix = oid.Text(0, 0);
  for (const bool admin : {false, true}) {
    const std::string role =
        std::string(admin ? kPgAdminClientRolePrefix : kPgClientRolePrefix) + suffix;
    std::string password = RandomPassword();
    const std::string verifier = db.PasswordVerifier(password, role);
    if (verifier.empty()) return Fail(error, "cannot make the password of " + role);
    const std::string quoted = db.QuoteIdentifier(role);
    *roles += (roles->empty() ? "" : ", ") + quoted;
    *sql += "DO $roles$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = " +
            hrz::SqlQuoted(role) + ") THEN CREATE ROLE " + quoted + "; END IF; END $roles$;\n" +
            "ALTER ROLE " + quoted +
            " LOGIN NOINHERIT NOSUPERUSER NOCREATEDB NOCREATEROLE NOREPLICATION PASSWORD " +
            hrz::SqlQuoted(verifier) + ";\nINSERT INTO hrz_private.SRV_CLIENT_LOGIN VALUES(" +
            hrz::SqlQuoted(role) + ", " + (admin ? "true" : "false") + ", " +
            hrz::SqlQuoted(password) + ");\nGRANT USAGE ON SCHEMA public TO " + quoted + ";\n";
    if (admin) *sql += "GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO " + quoted + ";\n";
    sodium_memzero(password.data(), password.size());
  }
  return true;
}

std::string ArgumentList(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ", ") + hrz::SqlQuoted(name);
  return list;
}

// The grants and triggers of one organisation table; columns as the catalogue orders them.
std::string TableScript(const std::string& table, const std::vector<std::string>& columns,
                        const std::string& roles) {
  const std::string on = " ON public." + table;
  std::string sql = "GRANT SELECT, INSERT, UPDATE, DELETE" + on + " TO " + roles + ";\n" +
                    "CREATE TRIGGER " + table + "_CLIENT_WRITE BEFORE INSERT OR DELETE" + on +
                    " FOR EACH STATEMENT EXECUTE FUNCTION hrz_private.CLIENT_STATEMENT();\n";
  for (const std::string& column : columns) {
    sql += "CREATE TRIGGER " + table + "_CLIENT_SET_" + column + " BEFORE UPDATE OF " + column +
           on + " FOR EACH STATEMENT EXECUTE FUNCTION hrz_private.CLIENT_STATEMENT(" +
           hrz::SqlQuoted(column) + ");\n";
  }
  // Named to fire after the organisation's own link rules, as SQLite's rules run before its
  // hook sees the row.
  sql += "CREATE TRIGGER " + table + "_WRITER_RIGHTS BEFORE INSERT OR UPDATE OR DELETE" + on +
         " FOR EACH ROW EXECUTE FUNCTION hrz_private.CLIENT_ROW(" + ArgumentList(columns) + ");\n";
  for (const AuditedColumns& audited : AuditedColumnsByTable()) {
    if (!hrz::EqualsNoCase(audited.table, table)) continue;
    std::vector<std::string> noted(audited.columns.begin(), audited.columns.end());
    sql += "CREATE TRIGGER " + table + "_WRITER_NOTES AFTER INSERT OR UPDATE OR DELETE" + on +
           " FOR EACH ROW EXECUTE FUNCTION hrz_private.CLIENT_NOTE(" + ArgumentList(noted) + ");\n";
  }
  return sql;
}

}  // namespace

bool InstallPgClientRules(pg::Connection& db, std::span<const std::string_view> organisationTables,
                          std::string* error) {
  std::string tableList;
  for (std::string_view table : organisationTables) {
    tableList += (tableList.empty() ? "" : ",") + hrz::LowerAscii(table);
  }
  const pg::Result columns = db.Exec(
      "SELECT upper(c.relname), upper(a.attname) FROM pg_attribute a JOIN pg_class c ON "
      "c.oid = a.attrelid JOIN pg_namespace s ON s.oid = c.relnamespace WHERE s.nspname = "
      "'public' AND c.relname = ANY(string_to_array($1, ',')) AND a.attnum > 0 AND NOT "
      "a.attisdropped ORDER BY c.relname, a.attnum",
      {pg::Param::Text(tableList)});
  if (!columns.ok())
    return Fail(error, "cannot read the organisation's columns: " + columns.error());
  std::map<std::string, std::vector<std::string>> byTable;
  for (int row = 0; row < columns.Rows(); ++row) {
    const std::string column = columns.Text(row, 1);
    if (!hrz::IsSqlName(column)) return Fail(error, "the column " + column + " has no plain name");
    byTable[columns.Text(row, 0)].push_back(column);
  }
  std::string sql = "SET LOCAL search_path = public;\n" + std::string(kPrivateTables) + RulesRows();
  std::string roles;
  if (!RolesScript(db, &sql, &roles, error)) return false;
  sql += ValueAllowedFunction() + std::string(kRightsFunction) + std::string(kStatementFunction) +
         RowRefusalFunction() + std::string(kRowFunction) + std::string(kNoteFunction);
  for (const char* function :
       {"RESTORED_CODE(text)", "CLIENT_VALUE_ALLOWED(text, jsonb, jsonb, jsonb, bigint)",
        "CLIENT_RIGHTS()", "CLIENT_STATEMENT()",
        "CLIENT_ROW_REFUSAL(text, text, jsonb, jsonb, bigint, boolean, boolean, text[])",
        "CLIENT_ROW()", "CLIENT_NOTE()"}) {
    sql += "REVOKE ALL ON FUNCTION hrz_private." + std::string(function) + " FROM PUBLIC;\n";
  }
  for (const auto& [table, names] : byTable) sql += TableScript(table, names, roles);
  const pg::Result done = db.ExecScript(sql);
  sodium_memzero(sql.data(), sql.size());
  if (!done.ok()) return Fail(error, "cannot install the rules of client SQL: " + done.error());
  return true;
}

}  // namespace hrzsrv
