// The sample organisation: a small, fixed company that shows every kind of record.
#include <ctime>
#include <vector>

#include "clock.h"
#include "crypto.h"
#include "hrzserver/engine.h"
#include "statement.h"
#include "store.h"

namespace hrzsrv {
namespace {

constexpr int kNormal = 255;
constexpr int kDeleted = 254;

struct SampleRecord {
  int nid;
  const char* code;
  const char* name;
  const char* kind;
  std::vector<int> parents;  // departments and roles it hangs under
  const char* password;      // null for departments and roles
  const char* note;
  int state = kNormal;
  // A user's own password rule with its lifetime in days, and login restrictions.
  const char* rule = nullptr;
  int passwordDays = 0;
  const char* loginIps = nullptr;
  const char* loginMachines = nullptr;
};

// NIDs follow on from the system records (kLastSystemNid), in the order the store would
// number them.
const SampleRecord kRecords[] = {
    {301, "ENG", "Engineering", "UDEPT", {kRootNid}, nullptr, ""},
    {302, "MECH", "Mechanical Design", "UDEPT", {301}, nullptr, ""},
    {303, "CAD", "CAD Team", "UDEPT", {302}, nullptr, ""},
    {304, "SALES", "Sales", "UDEPT", {kRootNid}, nullptr, ""},
    {305, "QA", "Quality Assurance", "UDEPT", {kRootNid}, nullptr, ""},
    {306, "REVIEW", "Reviewers", "UROLE", {kRootNid}, nullptr, ""},
    {307, "FLOWOPS", "Flow Operators", "UROLE", {kRootNid}, nullptr, ""},
    {308,
     "alice",
     "Alice Archer",
     "UUSRI",
     {303, 305, 306},
     "alice-pw1",
     "in CAD Team and Quality Assurance, role Reviewers"},
    {309, "bob", "Bob Baker", "UUSRI", {302}, "bob-pw1", "in Mechanical Design"},
    {310,
     "carol",
     "Carol Chen",
     "KQUSR",
     {304, 307},
     "carol-pw1",
     "kind KQUSR, role Flow Operators"},
    {311, "dave", "Dave Dunn", "UUSRO", {305}, "dave-pw1", "kind UUSRO"},
    {312,
     "erin",
     "Erin Evans",
     "UUSRI",
     {301},
     "erin-pw1",
     "locked today (5 failed attempts); unlocks tomorrow or by Unlock"},
    {313,
     "frank[del]",
     "Frank Foster",
     "UUSRI",
     {304},
     "frank-pw1",
     "deleted (NSTAT 254)",
     kDeleted},
    {314, "grace", "Grace Green", "UUSRI", {301}, "grace-pw1", "in Engineering"},
    // Added later, after the records above, whose NIDs tests rely on.
    {315, "ARCHIVE", "Archive", "UDEPT", {kRootNid}, nullptr, "", kNormal},
    {316, "FIXTURE", "Fixture Design", "UDEPT", {303}, nullptr, "", kNormal},
    {317,
     "heidi",
     "Heidi Hale",
     "UUSRI",
     {316, 306},
     "heidi-pw1",
     "in Fixture Design and role Reviewers; rule L8CN for 90 days, one IP range and one "
     "machine",
     kNormal,
     "L8CN",
     90,
     "192.168.10.*",
     "100200300400500600700800900101"},
    {318,
     "ivan",
     "Ivan Ito",
     "UUSRI",
     {304},
     "ivan-pw1",
     "deleted (NSTAT 254) without the [del] marker",
     kDeleted},
};

struct CatalogueEntry {
  const char* code;
  const char* name;
  const char* description;
  const char* category;
};

// NID and NFNCHR are the position in this list, from 1.
const CatalogueEntry kCatalogue[] = {
    {"UFUNCPVG", "Function Privileges", "Open the privilege editor", "Administration"},
    {"UUSR", "Users and Departments", "Create and change users, departments and roles",
     "Administration"},
    {"PDUNIREAD", "Dwg Global Read", "Read every drawing", "Documents"},
    {"KQDECRPT", "Decrypt", "Decrypt protected files", "Encryption"},
    {"KQCHECK", "Decrypt Check", "Approve decryption requests", "Encryption"},
    {"KQDNDEC", "Download Decrypted", "Download files decrypted", "Encryption"},
    {"KQWAIFA", "Send Out", "Send files out of the company", "Encryption"},
    {"KQWFCHK", "Send Out Check", "Approve sending files out", "Encryption"},
    {"KQWFDOWN", "Send Out Download", "Download files sent out", "Encryption"},
    {"KQBRWS", "Outgoing Files", "Browse outgoing files within limits", "Encryption"},
    {"XPRFLWCHK", "Flow Check", "Check workflow items", "Workflow"},
    {"XPRFLWRLS", "Flow Release", "Release workflow items", "Workflow"},
    {"XUPDEPTSGN", "View Department Signatures",
     "Open the signatures of users in the same department or role", "Pickers"},
};

struct Grant {
  int nid;
  const char* marks;
};

const Grant kGrants[] = {
    {kAdminNid, "MMMMMMMMMMMM"},  // the administrator may open every command
    {301, "XXV"},                 // Engineering reads every drawing
    {306, "XXXXXXXXXXM"},         // Reviewers check workflow items
    {308, "V"},                   // alice may look at the privilege editor
    {311, "XXXXXXXXXXXXM"},       // dave opens the signatures of his departments and roles
};

struct Machine {
  const char* code;
  const char* name;
  const char* ips;
  const char* macs;
  const char* orgCodes;
  const char* user;
};

const Machine kMachines[] = {
    {"100200300400500600700800900101", "WS-CAD-01", "192.168.10.21", "00-1A-2B-3C-4D-5E", "CAD",
     "alice"},
    {"314159265358979323846264338327", "WS-SALES-01", "192.168.20.7", "00-1A-2B-3C-4D-6F", "SALES",
     "carol"},
    {"271828182845904523536028747135", "LAPTOP-QA-02", "192.168.30.12", "00-1A-2B-3C-4D-70", "QA",
     "dave"},
};

constexpr const char* kFlowLogonFile =
    "//TEXT\r\n"
    "// How new flow users log on\r\n"
    "LastServer=127.0.0.1:7400\r\n"
    "ComputerNameLogon=true\r\n";

constexpr double kCreated = 20260105.090000;

// Stored signatures, named as an upload names them: alice's bitmap (one white pixel) and
// dave's drawing. dave shares Quality Assurance with alice; alice lacks "XUPDEPTSGN".
struct StoredSignature {
  int nid;
  const char* column;
  const char* name;
  std::string_view content;
};

constexpr char kOnePixelBitmap[] =
    "BM\x3a\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x01\0\0\0\x01\0\0\0\x01\0\x18\0\0\0\0\0"
    "\x04\0\0\0\x13\x0b\0\0\x13\x0b\0\0\0\0\0\0\0\0\0\0\xff\xff\xff\0";
constexpr char kSmallDrawing[] = "AC1018 sample drawing signature of dave\r\n";

const StoredSignature kSignatures[] = {
    {308, "CBMPSG", "sign/308/CBMPSG.bmp", {kOnePixelBitmap, sizeof kOnePixelBitmap - 1}},
    {311, "CDWGSG", "sign/311/CDWGSG.dwg", {kSmallDrawing, sizeof kSmallDrawing - 1}},
};

std::string GrantorBlob(std::size_t marks) {
  std::string blob;
  for (std::size_t i = 0; i < marks; ++i) blob += std::string("\x01\x00\x00\x00", 4);
  return blob;
}

void BindOptional(Statement& statement, int index, const char* text) {
  if (text) {
    statement.Bind(index, std::string_view(text));
  } else {
    statement.BindNull(index);
  }
}

bool Insert(StoreDb& db) {
  const double now = DateNumberOf(std::time(nullptr));
  for (const SampleRecord& r : kRecords) {
    Statement user(db,
                   "INSERT INTO UUSR(NID, CCODE, CNAME, CSRC, NSTAT, NCRTOR, DCRTE, DMODI, "
                   "NPWDDAYS, NTRYLGN, DTRYLGNTM, CPWDRULE, DMODIPWD, CLGNIP, CLGNMAC) "
                   "VALUES(?, ?, ?, ?, ?, 1, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const bool locked = std::string_view(r.code) == "erin";
    user.Bind(1, std::int64_t{r.nid}).Bind(2, r.code).Bind(3, r.name).Bind(4, r.kind);
    user.Bind(5, std::int64_t{r.state}).Bind(6, kCreated).Bind(7, kCreated);
    if (r.password) {
      user.Bind(8, std::int64_t{r.passwordDays});
    } else {
      user.BindNull(8);
    }
    if (locked) {
      user.Bind(9, std::int64_t{5}).Bind(10, now);
    } else {
      user.BindNull(9).BindNull(10);
    }
    BindOptional(user, 11, r.rule);
    if (r.rule) {
      user.Bind(12, static_cast<std::int64_t>(DayOf(now)));  // changed today
    } else {
      user.BindNull(12);
    }
    BindOptional(user, 13, r.loginIps);
    BindOptional(user, 14, r.loginMachines);
    if (!user.Done()) return false;
    for (int parent : r.parents) {
      Statement link(db, "INSERT INTO UUSRBM(NPID, NCID, CVWA) VALUES(?, ?, 'T')");
      link.Bind(1, std::int64_t{parent}).Bind(2, std::int64_t{r.nid});
      if (!link.Done()) return false;
    }
    if (r.password) {
      std::string hash;
      if (HashPassword(r.password, &hash) != HashOutcome::kDone) return false;
      Statement pwd(db, "INSERT INTO SRV_PASSWORD(NID, CHASH) VALUES(?, ?)");
      pwd.Bind(1, std::int64_t{r.nid}).Bind(2, hash);
      if (!pwd.Done()) return false;
    }
  }
  int position = 1;
  for (const CatalogueEntry& e : kCatalogue) {
    Statement fn(db,
                 "INSERT INTO UUSRFN(NID, CCODE, CNAME, NFNCHR, CDESC, CCAT) "
                 "VALUES(?, ?, ?, ?, ?, ?)");
    fn.Bind(1, std::int64_t{position}).Bind(2, e.code).Bind(3, e.name);
    fn.Bind(4, std::int64_t{position}).Bind(5, e.description).Bind(6, e.category);
    if (!fn.Done()) return false;
    ++position;
  }
  for (const Grant& g : kGrants) {
    const std::string marks = g.marks;
    const std::string grantors = GrantorBlob(marks.size());
    Statement pvg(db, "INSERT INTO SRV_PRIVILEGE(NID, CPVG, BGRANTORS) VALUES(?, ?, ?)");
    pvg.Bind(1, std::int64_t{g.nid}).Bind(2, marks).BindBlob(3, grantors.data(), grantors.size());
    if (!pvg.Done()) return false;
  }
  for (const Machine& m : kMachines) {
    Statement setup(db,
                    "INSERT INTO USETUPINFO(CCODE, CNAME, CIPS, CMACS, CORGCODES, CUSER, DMODI) "
                    "VALUES(?, ?, ?, ?, ?, ?, ?)");
    setup.Bind(1, m.code).Bind(2, m.name).Bind(3, m.ips).Bind(4, m.macs).Bind(5, m.orgCodes);
    setup.Bind(6, m.user).Bind(7, kCreated);
    if (!setup.Done()) return false;
  }
  Statement setting(
      db,
      "INSERT INTO SRV_SETTING(CSECTION, CKEY, CVALUE) VALUES('system', 'Lgn Err Try', "
      "'5') ON CONFLICT(CSECTION, CKEY) DO UPDATE SET CVALUE = excluded.CVALUE");
  Statement file(db, "INSERT INTO SRV_FILE(CNAME, BDATA, DMODI) VALUES(?, ?, ?)");
  const std::string_view content(kFlowLogonFile);
  file.Bind(1, std::string(kClientFilePrefix) + "kqflwlgn.xcf")
      .BindBlob(2, content.data(), content.size())
      .Bind(3, kCreated);
  if (!setting.Done() || !file.Done()) return false;
  for (const StoredSignature& sign : kSignatures) {
    Statement put(db, "INSERT INTO SRV_FILE(CNAME, BDATA, DMODI) VALUES(?, ?, ?)");
    put.Bind(1, sign.name).BindBlob(2, sign.content.data(), sign.content.size()).Bind(3, kCreated);
    Statement record(db, "UPDATE UUSR SET " + std::string(sign.column) + " = ? WHERE NID = ?");
    record.Bind(1, sign.name).Bind(2, std::int64_t{sign.nid});
    if (!put.Done() || !record.Done()) return false;
  }
  return true;
}

}  // namespace

bool AddSampleOrganisation(const std::string& path, std::vector<SampleAccount>* accounts,
                           std::string* error) {
  if (!InitCrypto()) {
    if (error) *error = "libsodium cannot start";
    return false;
  }
  std::unique_ptr<StoreDb> db = OpenStoreDb(path, false, error);
  if (!db) return false;
  {
    Statement count(*db, "SELECT count(*) FROM UUSR");
    if (!count.Row() || count.Int(0) > 2) {
      if (error) *error = path + " holds an organisation already";
      return false;
    }
  }
  Transaction tx(*db);
  if (!tx.ok() || !Insert(*db) || !tx.Commit()) {
    if (error) *error = "cannot add the sample organisation: " + db->LastError();
    return false;
  }
  if (accounts) {
    for (const SampleRecord& r : kRecords) {
      if (r.password) accounts->push_back({r.code, r.password, r.note});
    }
  }
  return true;
}

}  // namespace hrzsrv
