// Attacks on hrzserver over TCP by users of the sample organisation, each sent as a real
// client sends it, and the changes that the same rights do allow. In these tests the
// department Quality Assurance holds "UUSR" modify, so alice and dave manage users through
// it; bob, carol, erin and grace are ordinary users.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <vector>

#include "hrzcommon/protocol.h"
#include "hrzcommon/wire.h"
#include "support/client_request.h"
#include "support/stores.h"

namespace hrztest {
namespace {

namespace p = hrz::protocol;

const char* const kOrganisationTables[] = {"UUSR", "UUSRBM", "UUSRFN", "USETUPINFO", "SRV_FILE"};

ClientReply AskUploadName(tagXCliDB* db, const char* column, int nid, const char* extension) {
  hrz::wire::BodyWriter body;
  body.PutText("UUSR");
  body.PutText(column);
  body.PutInt32(nid);
  body.PutText(extension);
  return SendRequest(db, p::kUploadName, body.Finish());
}

int ReloadStatus(tagXCliDB* db) {
  hrz::wire::BodyWriter body;
  body.PutBytes("\x41\0\0\0\x50\0\0\0", 8);
  return SendRequest(db, p::kReload, body.Finish()).status;
}

class SecurityTest : public ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    // Quality Assurance (7) manages users: "UUSR" is the catalogue's second entry.
    WriteStore(storePath_,
               "insert into SRV_PRIVILEGE(NID, CPVG, BGRANTORS) "
               "values(305, 'XM', x'0100000001000000')");
  }

  // Every row of the organisation tables and the server's files.
  std::vector<std::string> Snapshot() const {
    std::vector<std::string> all;
    for (const char* table : kOrganisationTables) {
      for (std::string& row : StoreRows(storePath_, std::string("select * from ") + table)) {
        all.push_back(std::string(table) + " " + row);
      }
    }
    return all;
  }

  std::string Value(const std::string& sql) const {
    std::vector<std::string> rows = StoreRows(storePath_, sql);
    return rows.empty() ? "<none>" : rows.front();
  }

  // A client file to upload.
  std::string LocalFile(const std::string& content) {
    const std::string path = dir_.File("upload.bin");
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
};

struct Attack {
  const char* who;
  const char* password;
  const char* what;
  const char* sql;
};

// Writes that no dialog lets this user make. Each one changes the store on a server that
// trusts client SQL; here each is refused and leaves every row as it was, sent as an
// execute request and again as a query.
TEST_P(SecurityTest, ClientSqlRefusesEveryWriteNoDialogAllowsThatUser) {
  const Attack attacks[] = {
      {"bob", "bob-pw1", "renames the administrator",
       "update UUSR set CCODE = 'old-adm' where NID = 1"},
      {"bob", "bob-pw1", "renames itself", "update UUSR set CCODE = 'robert' where NID = 309"},
      {"bob", "bob-pw1", "unlocks another user",
       "update UUSR set NTRYLGN = null, DTRYLGNTM = null where NID = 312"},
      {"bob", "bob-pw1", "writes every row's password rule",
       "update UUSR set CPWDRULE = 'L0', NPWDDAYS = 0, DMODIPWD = 20000101"},
      {"bob", "bob-pw1", "writes its own password rule",
       "update UUSR set NPWDDAYS = 999 where NID = 309"},
      {"bob", "bob-pw1", "opens another's login IP list",
       "update UUSR set CLGNIP = '*' where NID = 308"},
      {"bob", "bob-pw1", "opens its own machine list",
       "update UUSR set CLGNMAC = 'all' where NID = 309"},
      {"bob", "bob-pw1", "changes its own kind", "update UUSR set CSRC = 'UDEPT' where NID = 309"},
      {"bob", "bob-pw1", "deletes another by its state",
       "update UUSR set NSTAT = 254 where NID = 308"},
      {"bob", "bob-pw1", "restores a deleted user",
       "update UUSR set CCODE = 'frank', NSTAT = 255 where NID = 313"},
      {"bob", "bob-pw1", "chooses its own decrypt applications",
       "update UUSR set CDECFLWAPPS = 'cmd.exe' where NID = 309"},
      {"bob", "bob-pw1", "lifts another's outgoing limits",
       "update UUSR set NWFMAXCNT = 0, NWFMAXTM = 0 where NID = 308"},
      {"bob", "bob-pw1", "moves another's signature", "update UUSR set FDWGX = 1 where NID = 308"},
      {"bob", "bob-pw1", "points its signature at another's file",
       "update UUSR set CBMPSG = 'sign/308/CBMPSG.bmp' where NID = 309"},
      {"bob", "bob-pw1", "writes its own row and another's at once",
       "update UUSR set FDWGX = 5 where NID in (309, 308)"},
      {"bob", "bob-pw1", "renames itself for display",
       "update UUSR set CNAME = 'Boss' where NID = 309"},
      {"bob", "bob-pw1", "moves itself under Reviewers",
       "update UUSRBM set NPID = 306 where NCID = 309"},
      {"bob", "bob-pw1", "deletes a user", "delete from UUSR where NID = 308"},
      {"bob", "bob-pw1", "leaves its department", "delete from UUSRBM where NCID = 309"},
      {"bob", "bob-pw1", "creates a user",
       "insert into UUSR(NID, CCODE, CSRC) values(400, 'mallory', 'UUSRI')"},
      {"bob", "bob-pw1", "joins the role Reviewers",
       "insert into UUSRBM(NPID, NCID, CVWA) values(306, 309, 'T')"},
      {"bob", "bob-pw1", "moves a catalogue entry onto a mark it inherits",
       "update UUSRFN set NFNCHR = 3 where CCODE = 'UUSR'"},
      {"bob", "bob-pw1", "adds a catalogue entry",
       "insert into UUSRFN(NID, CCODE, CNAME, NFNCHR, CDESC) values(20, 'X', 'Menu', 20, 'x')"},
      {"bob", "bob-pw1", "takes over a machine", "update USETUPINFO set CUSER = 'bob'"},
      {"bob", "bob-pw1", "replaces the administrator's record",
       "insert or replace into UUSR(NID, CCODE, CSRC) values(1, 'adm', 'UUSRI')"},
      {"carol", "carol-pw1", "raises its own outgoing limit",
       "update UUSR set NWFMAXCNT = 100 where NID = 310"},
      {"alice", "alice-pw1", "renames a user", "update UUSR set CCODE = 'david' where NID = 311"},
      {"alice", "alice-pw1", "restores a user under another code",
       "update UUSR set CCODE = 'franky', NSTAT = 255 where NID = 313"},
      {"alice", "alice-pw1", "deletes a user by its state",
       "update UUSR set NSTAT = 254 where NID = 309"},
      {"alice", "alice-pw1", "locks the administrator out",
       "update UUSR set NTRYLGN = 99, DTRYLGNTM = 20990101 where NID = 1"},
      {"alice", "alice-pw1", "limits the administrator's login IPs",
       "update UUSR set CLGNIP = '10.0.0.1' where NID = 1"},
      {"alice", "alice-pw1", "opens its own login IP list, as a record save may not",
       "update UUSR set CLGNIP = 'all' where NID = 308"},
      {"alice", "alice-pw1", "writes its department's list over its own row too",
       "update UUSR set CLGNIP = '127.0.0.*' where NID in (305, 308, 311)"},
      {"alice", "alice-pw1", "binds a user to a machine by SQL",
       "update UUSR set CLGNMAC = 'all' where NID = 310"},
      {"alice", "alice-pw1", "changes a user's kind",
       "update UUSR set CSRC = 'UROLE' where NID = 310"},
      {"alice", "alice-pw1", "moves another's signature",
       "update UUSR set FDWGX = 1 where NID = 309"},
      {"alice", "alice-pw1", "removes a link by SQL", "delete from UUSRBM where NCID = 309"},
      {"alice", "alice-pw1", "adds a catalogue entry",
       "insert into UUSRFN(NID, CCODE, CNAME, NFNCHR, CDESC) values(21, 'Y', 'Menu', 21, 'y')"},
      {"adm", kAdminPassword, "renames the administrator",
       "update UUSR set CCODE = 'chief' where NID = 1"},
      {"adm", kAdminPassword, "changes the case of the administrator's code",
       "update UUSR set CCODE = 'ADM' where NID = 1"},
      {"adm", kAdminPassword, "moves the administrator to another NID",
       "update UUSR set NID = 500 where NID = 1"},
      {"adm", kAdminPassword, "deletes the administrator", "delete from UUSR where NID = 1"},
      {"adm", kAdminPassword, "fences itself in by address",
       "update UUSR set CLGNIP = '10.0.0.1' where NID = 1"},
      {"adm", kAdminPassword, "binds itself to a machine",
       "update UUSR set CLGNMAC = '100200300400500600700800900101' where NID = 1"},
      {"adm", kAdminPassword, "adds a catalogue entry past the last position a string holds",
       "insert into UUSRFN(NID, CCODE, CNAME, NFNCHR, CDESC) values(20, 'X', 'Menu', 512, 'x')"},
      {"adm", kAdminPassword, "moves a catalogue entry past the last position",
       "update UUSRFN set NFNCHR = '600' where CCODE = 'KQBRWS'"},
  };
  // Logged on first: a logon writes the client version into the user's row.
  std::map<std::string, Connection> sessions;
  for (const Attack& attack : attacks) {
    if (!sessions.contains(attack.who)) sessions[attack.who] = LogonAs(attack.who, attack.password);
  }
  const std::vector<std::string> before = Snapshot();
  for (const Attack& attack : attacks) {
    tagXCliDB* db = sessions[attack.who].get();
    EXPECT_EQ(XCliDB_ExecuteSQL(db, attack.sql, 0, 0), 0) << attack.who << " " << attack.what;
    XCliGenRS rs(db);
    EXPECT_EQ(rs.Open(1, (std::string(attack.sql) + " returning 1").c_str()), 0)
        << attack.who << " " << attack.what << " (query)";
    ASSERT_EQ(Snapshot(), before) << attack.who << " " << attack.what;
  }
}

TEST_P(SecurityTest, RenamingTheAdministratorAwayMakesNoOneElseTheAdministrator) {
  Connection bob = LogonAs("bob", "bob-pw1");
  EXPECT_EQ(XCliDB_ExecuteSQL(bob.get(), "update UUSR set CCODE = 'was-adm' where NID = 1", 0, 0),
            0);
  EXPECT_EQ(XCliDB_ExecuteSQL(bob.get(), "update UUSR set CCODE = 'adm' where NID = 309", 0, 0), 0);
  Connection again = Open();
  int status = 0;
  EXPECT_EQ(XCliDB_Logon(again.get(), "adm", "bob-pw1", 260101, &status, nullptr, 0), 0);
  EXPECT_EQ(Value("select CCODE from UUSR where NID = 1"), "3:adm|");
  // Nor may the administrator hand its code to another record, in any case or with the
  // blanks that the module trims away before it compares codes.
  Connection adm = LogonAs("adm", kAdminPassword);
  for (const char* code : {"adm ", " Adm", "\tADM"}) {
    const std::string sql = std::string("update UUSR set CCODE = '") + code + "' where NID = 309";
    EXPECT_EQ(XCliDB_ExecuteSQL(adm.get(), sql.c_str(), 0, 0), 0) << code;
  }
  EXPECT_EQ(Value("select CCODE from UUSR where NID = 309"), "3:bob|");
  EXPECT_EQ(XCliDB_ExecuteSQL(adm.get(), "update UUSR set CCODE = 'admin' where NID = 309", 0, 0),
            1);
}

// A row that a REPLACE removes is a row the statement writes: a manager's restore cannot
// take the code of a user that holds it and so delete that user.
TEST_P(SecurityTest, ARestoreCannotRemoveTheUserThatHoldsTheCode) {
  Connection adm = LogonAs("adm", kAdminPassword);
  ASSERT_EQ(XCliDB_ExecuteSQL(adm.get(), "update UUSR set CCODE = 'frank' where NID = 314", 0, 0),
            1);
  Connection alice = LogonAs("alice", "alice-pw1");
  EXPECT_EQ(XCliDB_ExecuteSQL(
                alice.get(),
                "update or replace UUSR set CCODE = 'frank', NSTAT = 255 where NID = 313", 0, 0),
            0);
  EXPECT_EQ(Value("select group_concat(CCODE) from UUSR where NID in (313, 314)"),
            "3:frank[del],frank|");
}

// The server knows the administrator by its reserved record. A store in which the codes were
// swapped behind the server's back still gives the rights to that record only.
TEST_P(SecurityTest, TheAdministratorIsTheReservedRecordNotTheCodeAdm) {
  WriteStore(storePath_,
             "update UUSR set CCODE = 'chief' where NID = 1; "
             "update UUSR set CCODE = 'adm' where NID = 309");
  Connection impostor = LogonAs("adm", "bob-pw1");
  const std::string local = LocalFile("//TEXT\r\nLastServer=evil:1\r\n");
  EXPECT_EQ(ReloadStatus(impostor.get()), p::kReloadNoRight);
  EXPECT_EQ(
      XCliDB_PutFile(impostor.get(), 0, local.c_str(), "client/kqflwlgn.xcf", 0, 0, 0, 0, 0, 0), 0);
  EXPECT_EQ(XCliDB_ExecuteSQL(impostor.get(), "update UUSR set CNAME = 'x' where NID = 308", 0, 0),
            0);
  Connection chief = LogonAs("chief", kAdminPassword);
  EXPECT_EQ(ReloadStatus(chief.get()), p::kReloadDone);
  EXPECT_EQ(XCliDB_ExecuteSQL(chief.get(), "update UUSR set CNAME = 'x' where NID = 308", 0, 0), 1);
}

struct Allowed {
  const char* who;
  const char* password;
  const char* sql;
  const char* check;  // a query on the store afterwards
  const char* expected;
};

// What the dialogs let these users do still works.
TEST_P(SecurityTest, ClientSqlKeepsEveryWriteTheDialogsAllow) {
  const Allowed allowed[] = {
      // Unlock, restore and the password rule copied to every row, by a manager.
      {"alice", "alice-pw1", "update UUSR set NTRYLGN = null, DTRYLGNTM = null where NID = 312",
       "select count(*) from UUSR where NID = 312 and NTRYLGN is null", "1:1|"},
      {"alice", "alice-pw1",
       "update UUSR set CCODE = 'frank', NSTAT = 255, NPA = null, NPB = null, NPC = null, "
       "NPD = null, NTRYLGN = null, DTRYLGNTM = null where NID = 313",
       "select CCODE || NSTAT from UUSR where NID = 313", "3:frank255|"},
      {"alice", "alice-pw1",
       "update UUSR set CPWDRULE = 'L8CN', NPWDDAYS = 90, DMODIPWD = 20260101",
       "select count(*) from UUSR where CPWDRULE is not 'L8CN'", "1:0|"},
      {"alice", "alice-pw1", "update UUSRBM set NPID = 304 where NCID = 309",
       "select NPID from UUSRBM where NCID = 309", "1:304|"},
      // A list that still admits bob, who logs on from loopback below.
      {"alice", "alice-pw1", "update UUSR set CLGNIP = '192.168.1.*; 127.0.0.*' where NID = 309",
       "select CLGNIP from UUSR where NID = 309", "3:192.168.1.*; 127.0.0.*|"},
      {"alice", "alice-pw1",
       "update UUSR set CDECFLWAPPS = 'acad.exe, notepad.exe' where NID = 310",
       "select CDECFLWAPPS from UUSR where NID = 310", "3:acad.exe, notepad.exe|"},
      // dave manages through the same department, as a user of the further kind.
      {"dave", "dave-pw1", "update UUSR set NWFMAXTM = 30 where NID = 310",
       "select NWFMAXTM from UUSR where NID = 310", "1:30|"},
      // A user's own signature position, and clearing its signature reference.
      {"bob", "bob-pw1", "update UUSR set FDWGX = 10, FDWGY = 20, FDWGH = 5 where NID = 309",
       "select FDWGX || ',' || FDWGY || ',' || FDWGH from UUSR where NID = 309",
       "3:10.0,20.0,5.0|"},
      {"grace", "grace-pw1", "update UUSR set CBMPSG = null where NID = 314",
       "select count(*) from UUSR where NID = 314 and CBMPSG is null", "1:1|"},
      // The administrator changes codes and everything else but its own record.
      {"adm", kAdminPassword, "update UUSR set CCODE = 'robert' where NID = 309",
       "select CCODE from UUSR where NID = 309", "3:robert|"},
      {"adm", kAdminPassword,
       "insert into UUSRFN(NID, CCODE, CNAME, NFNCHR, CDESC) values(20, 'X', 'Menu', 20, 'x')",
       "select CCODE from UUSRFN where NID = 20", "3:X|"},
      {"adm", kAdminPassword,
       "insert into UUSRFN(NID, CCODE, CNAME, NFNCHR, CDESC) values(21, 'Z', 'Menu', 511, 'z')",
       "select NFNCHR from UUSRFN where NID = 21", "1:511|"},
      {"adm", kAdminPassword, "delete from USETUPINFO where CNAME = 'WS-CAD-01'",
       "select count(*) from USETUPINFO where CNAME = 'WS-CAD-01'", "1:0|"},
      {"adm", kAdminPassword, "update UUSR set CNAME = 'The Administrator' where NID = 1",
       "select CNAME from UUSR where NID = 1", "3:The Administrator|"},
  };
  for (const Allowed& a : allowed) {
    Connection db = LogonAs(a.who, a.password);
    EXPECT_EQ(XCliDB_ExecuteSQL(db.get(), a.sql, 0, 0), 1) << a.who << ": " << a.sql;
    EXPECT_EQ(Value(a.check), a.expected) << a.who << ": " << a.sql;
  }
  // The unlocked user logs on again; the restored one logs on under its code.
  LogonAs("erin", "erin-pw1");
  LogonAs("frank", "frank-pw1");
}

TEST_P(SecurityTest, OnlyTheAdministratorWritesServerFilesAndUsersOnlyTheirNamedUploads) {
  const std::vector<std::string> clientFile = StoreRows(storePath_, "select * from SRV_FILE");
  const std::string planted = LocalFile("//TEXT\r\nLastServer=evil.example:7400\r\n");
  Connection bob = LogonAs("bob", "bob-pw1");
  for (const char* name : {"client/kqflwlgn.xcf", "client/KQFLWLGN.XCF", "client/kqkrn.xcf",
                           "sign/309/CBMPSG.bmp", "user/11.bmp"}) {
    EXPECT_EQ(XCliDB_PutFile(bob.get(), 0, planted.c_str(), name, 0, 0, 0, 0, 0, 0), 0) << name;
  }
  EXPECT_EQ(StoreRows(storePath_, "select * from SRV_FILE"), clientFile);

  // Another user's signature is not bob's to upload, nor a column that is no signature.
  EXPECT_EQ(AskUploadName(bob.get(), "CBMPSG", 308, "bmp").status, p::kFailed);
  EXPECT_EQ(AskUploadName(bob.get(), "CCODE", 309, "").status, p::kFailed);
  EXPECT_EQ(AskUploadName(bob.get(), "CDWGSG", 309, "../x").status, p::kFailed);
  EXPECT_EQ(Value("select group_concat(NID) from UUSR where CBMPSG is not null or CDWGSG is not "
                  "null"),
            "3:308,311|")
      << "the sample's stored signatures only";

  const ClientReply named = AskUploadName(bob.get(), "cdwgsg", 309, "dwg");
  ASSERT_EQ(named.status, p::kUploadNameOk);
  EXPECT_EQ(named.FirstText(), "sign/309/CDWGSG.dwg");
  EXPECT_EQ(Value("select ifnull(CDWGSG, '-') from UUSR where NID = 309"), "3:-|")
      << "the row names the file only once it is there";
  const std::string drawing = LocalFile("a drawing signature");
  EXPECT_EQ(
      XCliDB_PutFile(bob.get(), 0, drawing.c_str(), named.FirstText().c_str(), 0, 0, 0, 0, 0, 0),
      1);
  EXPECT_EQ(Value("select CDWGSG from UUSR where NID = 309"), "3:sign/309/CDWGSG.dwg|");
  // The name was given to that session, not to the user.
  Connection otherSession = LogonAs("bob", "bob-pw1");
  EXPECT_EQ(XCliDB_PutFile(otherSession.get(), 0, planted.c_str(), named.FirstText().c_str(), 0, 0,
                           0, 0, 0, 0),
            0);
  EXPECT_EQ(Value("select BDATA from SRV_FILE where CNAME = 'sign/309/CDWGSG.dwg'"),
            "4:a drawing signature|");

  Connection adm = LogonAs("adm", kAdminPassword);
  EXPECT_EQ(AskUploadName(adm.get(), "CBMPSG", 308, "bmp").status, p::kUploadNameOk);
  EXPECT_EQ(XCliDB_PutFile(adm.get(), 0, planted.c_str(), "client/kqflwlgn.xcf", 0, 0, 0, 0, 0, 0),
            1);
}

TEST_P(SecurityTest, RefusalsFailedLogonsLocksAndRightsChangesAreAudited) {
  {
    Connection bob = LogonAs("bob", "bob-pw1");
    XCliDB_ExecuteSQL(bob.get(), "update UUSR set NTRYLGN = null where NID = 312", 0, 0);
    XCliDB_ExecuteSQL(bob.get(), "select CHASH from SRV_PASSWORD", 0, 0);
    const std::string planted = LocalFile("x");
    XCliDB_PutFile(bob.get(), 0, planted.c_str(), "client/kqflwlgn.xcf", 0, 0, 0, 0, 0, 0);
    ReloadStatus(bob.get());
  }
  for (int i = 0; i < 5; ++i) {
    Connection db = Open();
    int status = 0;
    XCliDB_Logon(db.get(), "grace", "wrong", 260101, &status, nullptr, 0);
    XCliDB_Logon(db.get(), "nobody", "x", 260101, &status, nullptr, 0);
  }
  {
    Connection adm = LogonAs("adm", kAdminPassword);
    XCliDB_ExecuteSQL(adm.get(), "update UUSR set CCODE = 'robert' where NID = 309", 0, 0);
    XCliDB_ExecuteSQL(adm.get(), "update UUSRBM set NPID = 304 where NCID = 310", 0, 0);
    XCliDB_ExecuteSQL(adm.get(), "update UUSR set CCODE = 'chief' where NID = 1", 0, 0);
    XCliDB_ExecuteSQL(adm.get(),
                      "insert into UUSRFN(NID, CCODE, CNAME, NFNCHR, CDESC) "
                      "values(20, '[].[OPEN].[FILE]', 'Menu Toolbar Command', 20, 'Open')",
                      0, 0);
    XCliDB_ExecuteSQL(adm.get(), "update UUSRFN set NFNCHR = 3, CNAME = 'Read' where NID = 4", 0,
                      0);
  }
  struct Entry {
    const char* what;
    const char* where;  // the condition on SRV_LOG
    const char* expected;
  } entries[] = {
      {"refused write", "CACTION = 'REFUSED' and NUSER = 309 and CTABLE = 'UUSR'", "1"},
      {"refused read of a private table",
       "CACTION = 'REFUSED' and NUSER = 309 and CTEXT like '%SRV_PASSWORD%'", "1"},
      {"refused client file",
       "CACTION = 'REFUSED' and NUSER = 309 and CVALUE = 'client/kqflwlgn.xcf'", "1"},
      {"refused reload", "CACTION = 'REFUSED' and NUSER = 309 and CTABLE = 'reload'", "1"},
      {"wrong passwords", "CACTION = 'LOGON FAILED' and NTARGET = 314", "5"},
      {"unknown codes", "CACTION = 'LOGON FAILED' and CVALUE = 'nobody' and NTARGET = -1", "5"},
      {"the lock", "CACTION = 'LOCKED' and NTARGET = 314", "1"},
      {"a code changed",
       "CACTION = 'RIGHTS CHANGED' and NUSER = 1 and NTARGET = 309 and CVALUE = 'UUSR.CCODE' and "
       "CTEXT = '''bob'' -> ''robert'''",
       "1"},
      {"a link moved, the other unchanged",
       "CACTION = 'RIGHTS CHANGED' and NTARGET = 310 and CVALUE = 'UUSRBM.NPID' and "
       "CTEXT = '307 -> 304'",
       "1"},
      {"no entry for the unchanged link", "CACTION = 'RIGHTS CHANGED' and CTEXT = '304 -> 304'",
       "0"},
      {"a command registered as a privilege",
       "CACTION = 'RIGHTS CHANGED' and NUSER = 1 and CTABLE = 'UUSRFN' and NTARGET = 20 and "
       "CVALUE = 'UUSRFN insert' and CTEXT = 'CCODE ''[].[OPEN].[FILE]'', NFNCHR 20'",
       "1"},
      {"a catalogue entry moved onto another's marks",
       "CACTION = 'RIGHTS CHANGED' and NTARGET = 4 and CVALUE = 'UUSRFN.NFNCHR' and "
       "CTEXT = '4 -> 3'",
       "1"},
      {"the administrator refused its own rename",
       "CACTION = 'REFUSED' and NUSER = 1 and NTARGET = 1 and CTEXT like '%code cannot change%'",
       "1"},
  };
  for (const Entry& e : entries) {
    EXPECT_EQ(Value(std::string("select count(*) from SRV_LOG where ") + e.where),
              std::string("1:") + e.expected + "|")
        << e.what;
  }
  // Every entry carries the client's address and the server's time.
  std::tm now{};
  localtime_r(&clock_->now, &now);
  const int today = (now.tm_year + 1900) * 10000 + (now.tm_mon + 1) * 100 + now.tm_mday;
  EXPECT_EQ(Value("select count(*) from SRV_LOG where CPEER is not '127.0.0.1' or "
                  "cast(DTIME as integer) != " +
                  std::to_string(today)),
            "1:0|");
}

INSTANTIATE_TEST_SUITE_P(OverTcp, SecurityTest, ::testing::Values(Via::kTcp), ViaName);

}  // namespace
}  // namespace hrztest
