// Who may read a stored signature (65,7,1 names the file) and which files a session may fetch
// (66,1,1), in process and over TCP. In the sample alice holds a bitmap signature and dave a
// drawing; they share Quality Assurance; dave holds "XUPDEPTSGN", alice does not (the role
// Reviewers above her holds position 11 only); grace sits in Engineering, above alice's
// department but not in it.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "entry/requests.h"
#include "support/stores.h"

namespace hrztest {
namespace {

constexpr int kAlice = 308, kBob = 309, kDave = 311;
constexpr const char* kAliceBitmap = "sign/308/CBMPSG.bmp";
constexpr const char* kDaveDrawing = "sign/311/CDWGSG.dwg";

struct Viewer {
  const char* code;
  const char* password;
};
constexpr Viewer kAdm{"adm", kAdminPassword}, kAliceLogon{"alice", "alice-pw1"},
    kBobLogon{"bob", "bob-pw1"}, kGraceLogon{"grace", "grace-pw1"}, kDaveLogon{"dave", "dave-pw1"};

class SignatureReadTest : public ClientTest {
 protected:
  // The name the server gives viewer for the column of nid; "<refused>" when none.
  std::string NameFor(tagXCliDB* db, const char* column, int nid) {
    std::string name;
    return hrz::StoredFileNameRequest(db, "UUSR", column, nid, &name) ? name : "<refused>";
  }
  // The content GetFile brings for name; "<refused>" when it fails.
  std::string Fetch(tagXCliDB* db, const char* name) {
    const std::string local = dir_.File("fetched");
    std::remove(local.c_str());
    if (XCliDB_GetFile(db, 0, name, local.c_str(), 0, 0, 0, 0, 0, 0) == 0) return "<refused>";
    std::ifstream in(local, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string StoredContent(const char* name) {
    const std::vector<std::string> rows = StoreRows(
        storePath_, "select hex(BDATA) from SRV_FILE where CNAME = '" + std::string(name) + "'");
    return rows.empty() ? "<none>" : rows.front();
  }
};

TEST_P(SignatureReadTest, TheServerNamesASignatureOnlyToThoseWhoMayReadIt) {
  struct Case {
    const char* what;
    const char* setup;  // SQL on the store first, may be null
    const char* undo;   // SQL that takes the setup back
    Viewer viewer;
    const char* column;
    int nid;
    const char* expected;
  } cases[] = {
      {"own bitmap", nullptr, nullptr, kAliceLogon, "CBMPSG", kAlice, kAliceBitmap},
      {"own, nothing stored", nullptr, nullptr, kBobLogon, "CDWGSG", kBob, "<refused>"},
      {"the administrator, anyone's", nullptr, nullptr, kAdm, "CDWGSG", kDave, kDaveDrawing},
      {"shared department and the privilege", nullptr, nullptr, kDaveLogon, "CBMPSG", kAlice,
       kAliceBitmap},
      {"shared department without the privilege", nullptr, nullptr, kAliceLogon, "CDWGSG", kDave,
       "<refused>"},
      {"the privilege inherited from a role above the viewer",
       "update SRV_PRIVILEGE set CPVG = CPVG || 'XM', BGRANTORS = BGRANTORS || zeroblob(8) "
       "where NID = 306",
       "update SRV_PRIVILEGE set CPVG = substr(CPVG, 1, 11), BGRANTORS = substr(BGRANTORS, 1, 44) "
       "where NID = 306",
       kAliceLogon, "CDWGSG", kDave, kDaveDrawing},
      {"view mark only", "update SRV_PRIVILEGE set CPVG = 'XXXXXXXXXXXXV' where NID = 311",
       "update SRV_PRIVILEGE set CPVG = 'XXXXXXXXXXXXM' where NID = 311", kDaveLogon, "CBMPSG",
       kAlice, "<refused>"},
      {"privilege but another department (a parent above is not shared)",
       "insert into SRV_PRIVILEGE(NID, CPVG, BGRANTORS) values(314, 'XXXXXXXXXXXXM', "
       "zeroblob(52))",
       "delete from SRV_PRIVILEGE where NID = 314", kGraceLogon, "CBMPSG", kAlice, "<refused>"},
      {"not a signature column", nullptr, nullptr, kAliceLogon, "CPWDRULE", kAlice, "<refused>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.setup != nullptr) WriteStore(storePath_, c.setup);
    {
      Connection db = LogonAs(c.viewer.code, c.viewer.password);
      EXPECT_EQ(NameFor(db.get(), c.column, c.nid), c.expected);
    }
    if (c.undo != nullptr) WriteStore(storePath_, c.undo);
  }
}

TEST_P(SignatureReadTest, RefusalsAreAuditedAndGiveNoFile) {
  Connection alice = LogonAs(kAliceLogon.code, kAliceLogon.password);
  EXPECT_EQ(NameFor(alice.get(), "CDWGSG", kDave), "<refused>");
  EXPECT_EQ(Fetch(alice.get(), kDaveDrawing), "<refused>");
  const std::vector<std::string> audit =
      StoreRows(storePath_,
                "select CVALUE, NTARGET from SRV_LOG where CACTION = 'REFUSED' and NUSER = 308 "
                "order by NID");
  EXPECT_EQ(audit, (std::vector<std::string>{"3:CDWGSG|1:311|", "3:sign/311/CDWGSG.dwg|1:-1|"}));
}

TEST_P(SignatureReadTest, AFileIsFetchedOnlyUnderANameThisSessionWasGiven) {
  Connection dave = LogonAs(kDaveLogon.code, kDaveLogon.password);
  EXPECT_EQ(Fetch(dave.get(), kAliceBitmap), "<refused>") << "never named";
  EXPECT_EQ(Fetch(dave.get(), "client/kqflwlgn.xcf"), "<refused>") << "never named";
  ASSERT_EQ(NameFor(dave.get(), "CBMPSG", kAlice), kAliceBitmap);
  const std::string bitmap = Fetch(dave.get(), kAliceBitmap);
  EXPECT_EQ(bitmap.substr(0, 2), "BM");
  EXPECT_EQ(bitmap.size(), 58u);
  // The name belongs to the session that was given it.
  Connection again = LogonAs(kDaveLogon.code, kDaveLogon.password);
  EXPECT_EQ(Fetch(again.get(), kAliceBitmap), "<refused>");
  // An upload name may be read back; the administrator reads every file.
  std::string upload;
  ASSERT_TRUE(hrz::UploadFileNameRequest(dave.get(), "CBMPSG", kDave, "bmp", &upload));
  const std::string local = dir_.File("mine.bmp");
  std::ofstream(local, std::ios::binary) << "BMmine";
  ASSERT_EQ(XCliDB_PutFile(dave.get(), 0, local.c_str(), upload.c_str(), 0, 0, 0, 0, 0, 0), 1);
  EXPECT_EQ(Fetch(dave.get(), upload.c_str()), "BMmine");
  Connection adm = LogonAs(kAdm.code, kAdm.password);
  EXPECT_EQ(Fetch(adm.get(), kDaveDrawing).rfind("AC1018", 0), 0u);
  EXPECT_NE(StoredContent(kDaveDrawing), "<none>");
}

INSTANTIATE_TEST_SUITE_P(Store, SignatureReadTest, ::testing::Values(Via::kEmbedded, Via::kTcp),
                         ViaName);

}  // namespace
}  // namespace hrztest
