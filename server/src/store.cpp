#include "store.h"

#include <cstring>

#include "hrzcommon/text.h"
#include "organisation_rules.h"
#include "pg_schema.h"
#include "statement.h"

namespace hrzsrv {
namespace {

// Columns of whole numbers are INTEGER, so that they read back without a fraction; this
// includes "DMODIPWD", the day of the last password change. Date-times (yyyymmdd.hhmmss)
// are REAL.
constexpr const char* kSchema = R"sql(
CREATE TABLE UUSR(
  NID INTEGER PRIMARY KEY AUTOINCREMENT, CCODE TEXT NOT NULL UNIQUE COLLATE NOCASE, CNAME TEXT,
  CSRC TEXT NOT NULL CHECK(length(CSRC) <= 16), NSTAT INTEGER DEFAULT 255, NCRTOR INTEGER,
  DCRTE REAL, DMODI REAL, CPWDRULE TEXT, NPWDDAYS INTEGER, DMODIPWD INTEGER, CLGNIP TEXT,
  CLGNMAC TEXT, NTRYLGN INTEGER, DTRYLGNTM REAL, NPA INTEGER, NPB INTEGER, NPC INTEGER,
  NPD INTEGER, FDWGX REAL, FDWGY REAL, FDWGH REAL, CBMPSG TEXT, CDWGSG TEXT,
  NWFMAXTM INTEGER, NWFMAXCNT INTEGER, CDECFLWAPPS TEXT, NUPCLIVR INTEGER);
CREATE TABLE UUSRBM(
  NID INTEGER PRIMARY KEY, NPID INTEGER NOT NULL, NCID INTEGER NOT NULL, CVWA TEXT);
CREATE TABLE UUSRFN(
  NID INTEGER PRIMARY KEY, CCODE TEXT NOT NULL UNIQUE COLLATE NOCASE, CNAME TEXT,
  NFNCHR INTEGER, CDESC TEXT, CCAT TEXT);
CREATE TABLE USETUPINFO(
  NID INTEGER PRIMARY KEY, CCODE TEXT NOT NULL, CNAME TEXT, CIPS TEXT, CMACS TEXT,
  CORGCODES TEXT, CUSER TEXT, DMODI REAL, DCRTE REAL, NUPCLIVR INTEGER);
CREATE TABLE SRV_PASSWORD(NID INTEGER PRIMARY KEY, CHASH TEXT NOT NULL);
CREATE TABLE SRV_PRIVILEGE(NID INTEGER PRIMARY KEY, CPVG TEXT NOT NULL, BGRANTORS BLOB NOT NULL);
CREATE TABLE SRV_FILE(CNAME TEXT PRIMARY KEY, BDATA BLOB NOT NULL, DMODI REAL);
CREATE TABLE SRV_SETTING(CSECTION TEXT NOT NULL COLLATE NOCASE, CKEY TEXT NOT NULL COLLATE NOCASE,
  CVALUE TEXT NOT NULL, PRIMARY KEY(CSECTION, CKEY));
CREATE TABLE SRV_LOG(NID INTEGER PRIMARY KEY, DTIME REAL, NUSER INTEGER, CACTION TEXT,
  CTABLE TEXT, NTARGET INTEGER, CVALUE TEXT, CTEXT TEXT, CPEER TEXT);
CREATE TABLE SRV_KEY(NID INTEGER PRIMARY KEY CHECK(NID = 1), BPUBLIC BLOB NOT NULL,
  BSECRET BLOB NOT NULL);
)sql";

// Tables a store made by an earlier version may lack; every open adds what is missing.
// SRV_UNKNOWN_LOGON counts failed logons of codes that name no user, as "UUSR" does for
// users; SRV_TLS holds the certificate and private key the server's TLS presents;
// SRV_SESSION the sessions logged on now, of every engine on the store, and SRV_PROCESS the
// engines themselves with the time each last noted that it runs. The organisation's
// links are read from either end together with the other end, so their indexes hold both
// ends and answer the tree's level reads without a visit to the table's rows.
constexpr const char* kLaterTables = R"sql(
CREATE TABLE IF NOT EXISTS SRV_UNKNOWN_LOGON(CCODE TEXT PRIMARY KEY COLLATE NOCASE,
  NTRYLGN INTEGER, DTRYLGNTM REAL);
CREATE INDEX IF NOT EXISTS SRV_UNKNOWN_LOGON_TIME ON SRV_UNKNOWN_LOGON(DTRYLGNTM);
CREATE TABLE IF NOT EXISTS SRV_TLS(NID INTEGER PRIMARY KEY CHECK(NID = 1), CCERT TEXT NOT NULL,
  CKEY TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS SRV_SESSION(CSESSION TEXT PRIMARY KEY, NUSER INTEGER NOT NULL,
  CPROCESS TEXT NOT NULL, CPEER TEXT, NUPCLIVR INTEGER, DSTART REAL);
CREATE INDEX IF NOT EXISTS SRV_SESSION_USER ON SRV_SESSION(NUSER);
CREATE TABLE IF NOT EXISTS SRV_PROCESS(CPROCESS TEXT PRIMARY KEY, CHOST TEXT,
  NBEAT INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS UUSRBM_NPID_NCID ON UUSRBM(NPID, NCID);
CREATE INDEX IF NOT EXISTS UUSRBM_NCID_NPID ON UUSRBM(NCID, NPID);
DROP INDEX IF EXISTS UUSRBM_NPID;
DROP INDEX IF EXISTS UUSRBM_NCID;
)sql";

}  // namespace

bool CreateSchema(StoreDb& db, const std::string& adminHash, std::string* error) {
  Transaction tx(db);
  if (!tx.ok()) {
    if (error) *error = db.LastError();
    return false;
  }
  if (!db.Exec(kSchema, error) || !AddLaterTables(db, error) ||
      !InstallOrganisationRules(db, error)) {
    return false;
  }
  // New records are numbered on from the last system NID.
  Statement numbering(db, "INSERT INTO sqlite_sequence(name, seq) VALUES('UUSR', ?)");
  numbering.Bind(1, std::int64_t{kLastSystemNid});
  PublicKey pk;
  SecretKey sk;
  MakeKeypair(&pk, &sk);
  Statement key(db, "INSERT INTO SRV_KEY(NID, BPUBLIC, BSECRET) VALUES(1, ?, ?)");
  key.BindBlob(1, pk.data(), pk.size()).BindBlob(2, sk.data(), sk.size());
  sodium_memzero(sk.data(), sk.size());
  Statement root(db,
                 "INSERT INTO UUSR(NID, CCODE, CNAME, CSRC, NSTAT) VALUES(?, 'ORG', "
                 "'Organisation', 'UDEPT', 255)");
  root.Bind(1, std::int64_t{kRootNid});
  Statement admin(db,
                  "INSERT INTO UUSR(NID, CCODE, CNAME, CSRC, NSTAT, NPWDDAYS) VALUES(?, 'adm', "
                  "'Administrator', 'UUSRI', 255, 0)");
  admin.Bind(1, std::int64_t{kAdminNid});
  Statement links(db, "INSERT INTO UUSRBM(NPID, NCID, CVWA) VALUES(0, ?, 'T'), (?, ?, 'T')");
  links.Bind(1, std::int64_t{kRootNid})
      .Bind(2, std::int64_t{kRootNid})
      .Bind(3, std::int64_t{kAdminNid});
  Statement hash(db, "INSERT INTO SRV_PASSWORD(NID, CHASH) VALUES(?, ?)");
  hash.Bind(1, std::int64_t{kAdminNid}).Bind(2, adminHash);
  if (!numbering.Done() || !key.Done() || !root.Done() || !admin.Done() || !links.Done() ||
      !hash.Done() || !tx.Commit()) {
    if (error) *error = "cannot create the store: " + db.LastError();
    return false;
  }
  return true;
}

bool AddLaterTables(StoreDb& db, std::string* error) {
  if (pg::Connection* pg = db.postgres()) return AddPgLaterTables(*pg, error);
  return db.Exec(kLaterTables, error);
}

bool LoadKeypair(StoreDb& db, PublicKey* pk, SecretKey* sk) {
  Statement read(db, "SELECT BPUBLIC, BSECRET FROM SRV_KEY WHERE NID = 1");
  if (!read.Row()) return false;
  const std::string pub = read.Blob(0);
  std::string sec = read.Blob(1);
  if (pub.size() != pk->size() || sec.size() != sk->size()) return false;
  std::memcpy(pk->data(), pub.data(), pk->size());
  std::memcpy(sk->data(), sec.data(), sk->size());
  sodium_memzero(sec.data(), sec.size());
  return true;
}

bool UpgradeSchema(StoreDb& db, std::string* error) {
  if (!AddLaterTables(db, error)) return false;
  // PostgreSQL stores are younger: they lack at most the private tables that came later.
  if (db.kind() != StoreKind::kSqlite) return true;
  // Columns that came later: the audit log's peer address with the rights checks, the
  // machine record's first day and client version with the login lists' checks.
  struct Column {
    const char* table;
    const char* name;
    const char* type;
  };
  for (const Column& c : {Column{"SRV_LOG", "CPEER", "TEXT"}, Column{"USETUPINFO", "DCRTE", "REAL"},
                          Column{"USETUPINFO", "NUPCLIVR", "INTEGER"}}) {
    const std::string table(c.table), name(c.name);
    Statement probe(db, "SELECT " + name + " FROM " + table + " LIMIT 0");
    const std::string add = "ALTER TABLE " + table + " ADD COLUMN " + name + " " + c.type;
    if (!probe.ok() && !db.Exec(add, error)) return false;
  }
  // The rules of the organisation's links came with the membership requests.
  return InstallOrganisationRules(db, error);
}

bool IsAdminCode(std::string_view code) {
  return hrz::EqualsNoCase(hrz::TrimBlanks(code), "adm");
}

}  // namespace hrzsrv
