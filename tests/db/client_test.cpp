// The client's operations against the real server, over both transports.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "entry/module_state.h"
#include "entry/requests.h"
#include "entry/usrmancfg.h"
#include "platform.h"
#include "support/stores.h"

namespace hrztest {
namespace {

class ClientCallTest : public ClientTest {};

TEST_P(ClientCallTest, LogonReportsEachStatusAndTheLoggedInUser) {
  Connection db = Open();
  int status = 0;
  char text[64] = "x";
  EXPECT_EQ(XCliDB_Logon(db.get(), "bob", "wrong", 1, &status, text, sizeof text), 0);
  EXPECT_EQ(status, 32);
  EXPECT_STREQ(text, "pwd_try_left=4");
  EXPECT_EQ(XCliDB_Logon(db.get(), "erin", "erin-pw1", 1, &status, text, sizeof text), 0);
  EXPECT_EQ(status, 34);
  ASSERT_EQ(XCliDB_Logon(db.get(), "Bob", "bob-pw1", 260101, &status, text, sizeof text), 1);
  EXPECT_EQ(status, 31);
  char code[128];
  ASSERT_EQ(XCliDB_GetUNO(db.get(), code), 1);
  EXPECT_STREQ(code, "bob");  // as stored, whatever case was typed
  EXPECT_EQ(XCliGetCurrentUserNID(db.get()), 309);
  EXPECT_EQ(XCliDB_GetClientVersion(db.get(), 0), 260101);
  EXPECT_EQ(QueryText(db.get(), "select NUPCLIVR from UUSR where NID = 309"), "260101");
  XCliDB_Logoff(db.get());
  EXPECT_EQ(XCliDB_GetClientVersion(db.get(), 0), 0);
}

TEST_P(ClientCallTest, RecordLookups) {
  Connection db = LogonAs("alice", "alice-pw1");
  EXPECT_EQ(XCliGetUserNID(db.get(), "CAROL"), 310);
  EXPECT_LE(XCliGetUserNID(db.get(), "nobody"), 0);
  char code[128], kind[17], name[256];
  ASSERT_EQ(XCliGetUNOByNID(db.get(), 311, code), 1);
  EXPECT_STREQ(code, "dave");
  ASSERT_EQ(XCliNIDToCode(db.get(), "UUSR", 306, code, kind, name, 0), 1);
  EXPECT_STREQ(code, "REVIEW");
  EXPECT_STREQ(kind, "UROLE");
  EXPECT_STREQ(name, "Reviewers");
  EXPECT_EQ(XCliNIDToCode(db.get(), "UUSR", 306, nullptr, kind, nullptr, 0), 1);
  EXPECT_EQ(XCliNIDToCode(db.get(), "UUSR", 999, code, kind, name, 0), 0);
  EXPECT_EQ(XCliNIDToCode(db.get(), "UUSRFN", 1, code, kind, name, 0), 0);
  EXPECT_STREQ(xclisql_upper(db.get(), "main"), "upper");
  EXPECT_EQ(QueryText(db.get(), "select count(*) from UUSRFN where upper(CCODE) = upper('kqbrws')"),
            "1");
}

TEST_P(ClientCallTest, PrivilegesSettingsValuesTimeAndLog) {
  Connection db = LogonAs("bob", "bob-pw1");
  int view = -1, modify = -1;
  ASSERT_EQ(XCliGetFuncPvg(db.get(), -1, "PDUNIREAD", &view, &modify), 1);
  EXPECT_EQ(view, 1);
  EXPECT_EQ(modify, 0);
  ASSERT_EQ(XCliGetFuncPvg(db.get(), -1, "UUSR", nullptr, &modify), 1);
  EXPECT_EQ(modify, 0);
  EXPECT_EQ(XCliGetFuncPvg(db.get(), -1, "NOSUCH", &view, &modify), 0);

  char value[256];
  ASSERT_EQ(XCliGetINI(db.get(), "system", "Lgn Err Try", value, sizeof value, 0), 1);
  EXPECT_STREQ(value, "5");
  EXPECT_EQ(XCliGetINI(db.get(), "system", "Nothing", value, sizeof value, 0), 0);

  ASSERT_EQ(XCliGetFldOrgVal(db.get(), "UUSR.NSTAT", " Deleted ", 1, value, 0), 1);
  EXPECT_STREQ(value, "254");
  ASSERT_EQ(XCliGetFldOrgVal(db.get(), "uusr.nstat", "normal", 1, value, 0), 1);
  EXPECT_STREQ(value, "255");
  EXPECT_EQ(XCliGetFldOrgVal(db.get(), "UUSR.NSTAT", "Gone", 1, value, 0), 0);
  EXPECT_EQ(XCliGetFldOrgVal(db.get(), "UUSR.CNAME", "x", 1, value, 0), 0);

  int y = 0, mo = 0, d = 0, h = -1, mi = -1, s = -1;
  ASSERT_EQ(XCliDB_GetServerTime(db.get(), &y, &mo, &d, &h, &mi, &s), 1);
  const double number = XCliDB_GetServerTimeDouble(db.get());
  EXPECT_GE(y, 2026);
  EXPECT_EQ(static_cast<long long>(number) / 10000, y);
  EXPECT_GE(mo, 1);
  EXPECT_LE(mo, 12);
  EXPECT_GE(number - static_cast<long long>(number), 0.0);
  EXPECT_LT(number - static_cast<long long>(number), 0.24);

  EXPECT_EQ(XCliPutLog(db.get(), 0, 0, 0, "ASGNDWGPVG", "UUSR", 308, "2", "Dwg Global Read"), 1);
}

TEST_P(ClientCallTest, PasswordRequestsOfTheModuleAgainstTheServer) {
  Connection db = LogonAs("grace", "grace-pw1");
  using hrz::VerifyOutcome;
  EXPECT_EQ(hrz::VerifyPasswordRequest(db.get(), "grace", "grace-pw1").outcome,
            VerifyOutcome::kCorrect);
  const hrz::VerifyReply wrong = hrz::VerifyPasswordRequest(db.get(), "grace", "nope");
  EXPECT_EQ(wrong.outcome, VerifyOutcome::kWrong);
  EXPECT_EQ(wrong.replyText, "pwd_try_left=4");
  // A correct verification clears the count again.
  EXPECT_EQ(hrz::VerifyPasswordRequest(db.get(), "grace", "grace-pw1").outcome,
            VerifyOutcome::kCorrect);
  EXPECT_EQ(QueryText(db.get(), "select ifnull(NTRYLGN, 'none') from UUSR where NID = 314"),
            "none");

  EXPECT_EQ(hrz::SetPasswordRequest(db.get(), "bob", "x"), hrz::SetPasswordOutcome::kNoRight);
  EXPECT_EQ(hrz::SetPasswordRequest(db.get(), nullptr, "grace-new"), hrz::SetPasswordOutcome::kSet);
  LogonAs("grace", "grace-new");
  EXPECT_TRUE(hrz::IsUserCodeFree(db.get(), "zoe", 5));
  EXPECT_TRUE(hrz::IsUserCodeFree(db.get(), "grace", 314));
  EXPECT_FALSE(hrz::IsUserCodeFree(db.get(), "grace", 5));
}

TEST_P(ClientCallTest, ReloadAndOnlineState) {
  Connection adm = LogonAs("adm", kAdminPassword);
  EXPECT_EQ(hrz::ReloadServerRequest(adm.get(), hrz::protocol::kReloadFromUserManager),
            hrz::ReloadOutcome::kDone);
  Connection carol = LogonAs("carol", "carol-pw1");
  EXPECT_EQ(hrz::ReloadServerRequest(carol.get(), hrz::protocol::kReloadFromPrivilegeEditor),
            hrz::ReloadOutcome::kNoRight);
  EXPECT_EQ(hrz::OnlineStateRequest(carol.get(), "carol"), hrz::OnlineState::kOnline);
  // The acknowledgement left the connection in step.
  EXPECT_EQ(QueryText(carol.get(), "select CCODE from UUSR where NID = 310"), "carol");
  // Users logged on through another process's embedded engine are not seen here.
  if (GetParam() == Via::kTcp) {
    EXPECT_EQ(hrz::OnlineStateRequest(carol.get(), "adm"), hrz::OnlineState::kOnline);
  }
  EXPECT_EQ(hrz::OnlineStateRequest(carol.get(), "bob"), hrz::OnlineState::kOffline);
}

TEST_P(ClientCallTest, ServerKeptFileDownloadsIntoTheTemporaryFolder) {
  Connection db = LogonAs("alice", "alice-pw1");
  TempDir temp;
  const std::string folder = temp.File("");
  setenv("TMPDIR", folder.c_str(), 1);
  hrz::Module().db = db.get();
  char path[MAX_PATH];
  ASSERT_EQ(hrz::ServerPathOfFile(path, "kqflwlgn.xcf"), 1);
  EXPECT_STREQ(path, "\\\\hrzserver\\client\\kqflwlgn.xcf");
  ASSERT_NE(hrz::DownloadServerFile("kqflwlgn.xcf"), 0);
  char lastServer[512], computerNameLogon[512];
  char local[MAX_PATH];
  ASSERT_EQ(hrz::TempPathOfFile(local, "kqflwlgn.xcf"), 1);
  hrz::ReadLogonSettings(local, lastServer, computerNameLogon);
  EXPECT_STREQ(computerNameLogon, "true");
  EXPECT_STREQ(lastServer, "127.0.0.1:7400");
  EXPECT_EQ(hrz::DownloadServerFile("missing.xcf"), 0);
  hrz::Module().db = nullptr;
  unsetenv("TMPDIR");
}

TEST_P(ClientCallTest, FilesGoUpAndComeBackWhole) {
  Connection db = LogonAs("adm", kAdminPassword);
  TempDir temp;
  std::string content;
  for (int i = 0; i < 300000; ++i) content.push_back(static_cast<char>(i * 7));
  const std::string up = temp.File("up.bin"), down = temp.File("down.bin");
  std::ofstream(up, std::ios::binary) << content;
  ASSERT_EQ(XCliDB_PutFile(db.get(), 0, up.c_str(), "user/11.bin", 0, 0, 0, 0, 0, 0), 1);
  ASSERT_EQ(XCliDB_GetFile(db.get(), 0, "user/11.bin", down.c_str(), 0, 0, 0, 0, 0, 0), 1);
  std::ifstream in(down, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), content);
  EXPECT_EQ(XCliDB_GetFile(db.get(), 0, "user/none.bin", down.c_str(), 0, 0, 0, 0, 0, 0), 0);
  EXPECT_EQ(XCliDB_PutFile(db.get(), 0, temp.File("none").c_str(), "user/x", 0, 0, 0, 0, 0, 0), 0);
  // Server files are the administrator's; an ordinary user stores only the uploads the
  // server named for it.
  Connection bob = LogonAs("bob", "bob-pw1");
  EXPECT_EQ(XCliDB_PutFile(bob.get(), 0, up.c_str(), "client/kqflwlgn.xcf", 0, 0, 0, 0, 0, 0), 0);
  EXPECT_EQ(XCliDB_PutFile(bob.get(), 0, up.c_str(), "user/11.bin", 0, 0, 0, 0, 0, 0), 0);
}

TEST_P(ClientCallTest, RawRequestsRefuseAForeignLockAndAnOversizedReply) {
  Connection db = LogonAs("adm", kAdminPassword);
  Connection other = LogonAs("bob", "bob-pw1");
  unsigned char header[XCLI_HEADER_SIZE] = {0, 0, 0, 0, 5, 2, 1};
  const unsigned char body[] = {3, 0, 'b', 'o', 'b', 0xff, 0x7f};
  unsigned char reply[8];
  XCliSendLock* foreign = XCliDB_LockSendAndWait(other.get());
  EXPECT_EQ(XCliDB_SendAndWait2(db.get(), foreign, header, body, sizeof body, header, reply,
                                sizeof reply, 0),
            XCLI_SEND_FAILED);
  XCliDB_ReleaseSendAndWait(other.get(), foreign);
  XCliSendLock* lock = XCliDB_LockSendAndWait(db.get());
  ASSERT_EQ(XCliDB_SendAndWait2(db.get(), lock, header, body, sizeof body, header, reply,
                                sizeof reply, 0),
            8);
  EXPECT_EQ(header[6], 2);
  EXPECT_EQ(XCliDB_SendAndWait1(db.get(), lock, 5, 2, 1, body, sizeof body, header, reply, 4, 0),
            XCLI_SEND_FAILED);
  XCliDB_ReleaseSendAndWait(db.get(), lock);
  EXPECT_EQ(XCliGetUserNID(db.get(), "bob"), 309);
}

TEST_P(ClientCallTest, EncryptPasswordSealsForTheNewestOpenConnection) {
  Connection db = LogonAs("adm", kAdminPassword);
  char first[256], second[256];
  ASSERT_EQ(XCliEncryptPassword("same", first), 1);
  ASSERT_EQ(XCliEncryptPassword("same", second), 1);
  EXPECT_STRNE(first, second);  // sealed boxes are randomised
  EXPECT_EQ(std::string(first).find("same"), std::string::npos);
  EXPECT_EQ(XCliEncryptPassword(std::string(200, 'p').c_str(), first), 0);  // would not fit
  EXPECT_EQ(XCliEncryptPassword(std::string(XCLI_PASSWORD_MAX_BYTES, 'p').c_str(), first), 1)
      << "the longest password the module takes fits";

  // A connection opened and closed meanwhile leaves the sealing to the one still open.
  Open().reset();
  EXPECT_EQ(hrz::VerifyPasswordRequest(db.get(), "adm", kAdminPassword).outcome,
            hrz::VerifyOutcome::kCorrect);
}

INSTANTIATE_TEST_SUITE_P(Transports, ClientCallTest, ::testing::Values(Via::kEmbedded, Via::kTcp),
                         ViaName);

}  // namespace
}  // namespace hrztest
