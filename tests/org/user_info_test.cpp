// The signed-in user's own record ("XUSRINFO") and the two signature uploads, through
// HRZCmd, embedded and over TCP.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "org_fixture.h"
#include "pickers/dwgsign_dlg.h"
#include "pickers/sign_upload.h"
#include "resources/dialogs/dwgsign_ids.h"
#include "resources/dialogs/userinfo_ids.h"
#include "support/temp_dir.h"

namespace hrztest {
namespace {

using hrz::DialogDriver;

class UserInfoTest : public ManagerTest {
 protected:
  // A file of the given content in the test's folder; its path.
  std::string WriteFile(const std::string& name, const std::string& content) {
    const std::string path = files_.File(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  std::string BobsRow(const char* columns) {
    return Query(std::string("select ") + columns + " from UUSR where NID = 309");
  }
  // The size of a file the server keeps, read from the store itself (clients cannot).
  std::vector<std::string> StoredSize(const std::string& name) {
    return StoreRows(storePath_, "select length(BDATA) from SRV_FILE where CNAME = '" + name + "'");
  }

  TempDir files_;
};

TEST_P(UserInfoTest, ShowsTheOwnRecordWithPasswordsLockedAndSavesAChange) {
  StartAs("bob", "bob-pw1");
  module_.user().OnDialog(IDD_USERINFO, [](DialogDriver& d) {
    EXPECT_EQ(d.FieldText(IDC_USERINFO_RECORD, "CCODE"), "bob");
    EXPECT_FALSE(d.IsFieldUsable(IDC_USERINFO_RECORD, "CPWD"));
    EXPECT_FALSE(d.IsFieldUsable(IDC_USERINFO_RECORD, "RE_CPWD"));
    EXPECT_TRUE(d.IsVisible(IDC_USERINFO_BMP_SIGN));
    EXPECT_TRUE(d.IsVisible(IDC_USERINFO_DWG_SIGN));
    ASSERT_TRUE(d.SetFieldText(IDC_USERINFO_RECORD, "CNAME", "Robert Baker"));
    ASSERT_TRUE(d.Click(IDOK));
  });
  EXPECT_EQ(module_.Run("XUSRINFO"), 1);
  EXPECT_EQ(Messages(), std::vector<std::string>{"dlg_userman.save done"});
  EXPECT_EQ(BobsRow("CNAME"), "Robert Baker");
}

TEST_P(UserInfoTest, AFailedSaveKeepsTheDialogOpen) {
  StartAs("bob", "bob-pw1");
  bool stillOpen = false;
  module_.user().OnDialog(IDD_USERINFO, [&](DialogDriver& d) {
    ASSERT_TRUE(d.SetFieldText(IDC_USERINFO_RECORD, "CNAME", ""));  // a name is required
    ASSERT_TRUE(d.Click(IDOK));
    stillOpen = d.IsVisible(IDOK);
    d.End(IDCANCEL);
  });
  module_.Run("XUSRINFO");
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(BobsRow("CNAME"), "Bob Baker");
}

TEST_P(UserInfoTest, TheBitmapSignatureIsStoredUnderTheNameTheServerGives) {
  StartAs("bob", "bob-pw1");
  module_.user().AnswerNextFileDialog(WriteFile("mine.bmp", std::string(300, 'b')));
  module_.user().OnDialog(IDD_USERINFO, [](DialogDriver& d) {
    ASSERT_TRUE(d.Click(IDC_USERINFO_BMP_SIGN));
    d.End(IDCANCEL);
  });
  module_.Run("XUSRINFO");
  EXPECT_EQ(Messages(), std::vector<std::string>{"dlg_userman.save done"});
  EXPECT_EQ(BobsRow("CBMPSG"), "sign/309/CBMPSG.bmp");
  EXPECT_EQ(StoredSize("sign/309/CBMPSG.bmp"), std::vector<std::string>{"1:300|"});
}

// A stored signature of another kind of file is forgotten before a new one is asked for,
// so a refused upload leaves no reference to the old file under the new kind.
TEST_P(UserInfoTest, AnotherKindOfFileClearsTheStoredReferenceFirst) {
  StartAs("bob", "bob-pw1");
  ASSERT_EQ(hrz::StoreUserSignFile("CBMPSG", WriteFile("first.bmp", "bmp").c_str()), 1);
  ASSERT_EQ(BobsRow("CBMPSG"), "sign/309/CBMPSG.bmp");
  // The server refuses this extension: nothing but the clearing happened.
  EXPECT_EQ(hrz::StoreUserSignFile("CBMPSG", WriteFile("second.b-p", "x").c_str()), 0);
  EXPECT_EQ(BobsRow("ifnull(CBMPSG, '<null>')"), "<null>");
  EXPECT_EQ(hrz::StoreUserSignFile("CNAME", WriteFile("n.bmp", "x").c_str()), 0)
      << "only the signature columns";
}

TEST(SignPosition, TakesSignsAndOneDecimalPoint) {
  struct Case {
    const char* typed;
    std::optional<std::string> literal;
  };
  const Case cases[] = {
      {"+1.5", "1.5"},         {"20", "20"},        {"- 5", "-5"},
      {"+-5", "-5"},           {"--5", "5"},        {".5", ".5"},
      {"", std::nullopt},      {"-", std::nullopt}, {"1a", std::nullopt},
      {"1.2.3", std::nullopt}, {".", std::nullopt}, {"1 2", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(hrz::SignPositionLiteral(c.typed), c.literal) << c.typed;
}

TEST_P(UserInfoTest, TheDrawingSignatureChecksEveryFieldBeforeWritingAnything) {
  StartAs("bob", "bob-pw1");
  const std::string drawing = WriteFile("sign.dwg", std::string(64, 'd'));
  const std::string empty = WriteFile("empty.dwg", "");
  struct Case {
    std::string file, x, y, h;
  };
  const Case refused[] = {
      {"", "10", "20", "5"},
      {empty, "10", "20", "5"},
      {drawing, "", "20", "5"},
      {drawing, "-", "20", "5"},
      {drawing, "1a", "20", "5"},
      {drawing, "10", "20", "x"},
      {files_.File("none.dwg"), "10", "20", "5"},
  };
  const std::string before = BobsRow("ifnull(FDWGX, '') || '/' || ifnull(CDWGSG, '')");
  for (const Case& c : refused) {
    module_.user().OnDialog(IDD_USERINFO, [&](DialogDriver& info) {
      module_.user().OnDialog(IDD_DWGSIGN, [&](DialogDriver& d) {
        d.SetText(IDC_DWGSIGN_FILE, c.file);
        d.SetText(IDC_DWGSIGN_X, c.x);
        d.SetText(IDC_DWGSIGN_Y, c.y);
        d.SetText(IDC_DWGSIGN_H, c.h);
        ASSERT_TRUE(d.Click(IDOK));
        EXPECT_TRUE(d.IsVisible(IDOK)) << "stays open for " << c.file << " " << c.x;
        d.End(IDCANCEL);
      });
      info.Click(IDC_USERINFO_DWG_SIGN);
      info.End(IDCANCEL);
    });
    module_.Run("XUSRINFO");
  }
  EXPECT_EQ(Messages(),
            std::vector<std::string>(std::size(refused), "dlg_upload_dwg_signature.invalid input"));
  EXPECT_EQ(BobsRow("ifnull(FDWGX, '') || '/' || ifnull(CDWGSG, '')"), before);
}

TEST_P(UserInfoTest, TheDrawingSignatureWritesItsPlaceAndStoresTheFile) {
  StartAs("bob", "bob-pw1");
  module_.user().AnswerNextFileDialog(WriteFile("sign.dwg", std::string(64, 'd')));
  module_.user().OnDialog(IDD_USERINFO, [&](DialogDriver& info) {
    module_.user().OnDialog(IDD_DWGSIGN, [&](DialogDriver& d) {
      ASSERT_TRUE(d.Click(IDC_DWGSIGN_BROWSE));
      d.SetText(IDC_DWGSIGN_X, " +10.5 ");
      d.SetText(IDC_DWGSIGN_Y, "20");
      d.SetText(IDC_DWGSIGN_H, "--5");
      ASSERT_TRUE(d.Click(IDOK));
    });
    info.Click(IDC_USERINFO_DWG_SIGN);
    info.End(IDCANCEL);
  });
  module_.Run("XUSRINFO");
  EXPECT_EQ(Messages(), std::vector<std::string>{"dlg_upload_dwg_signature.save done"});
  EXPECT_EQ(BobsRow("FDWGX || '/' || FDWGY || '/' || FDWGH || '/' || CDWGSG"),
            "10.5/20.0/5.0/sign/309/CDWGSG.dwg");
  EXPECT_EQ(StoredSize("sign/309/CDWGSG.dwg"), std::vector<std::string>{"1:64|"});
}

INSTANTIATE_TEST_SUITE_P(Store, UserInfoTest, ::testing::Values(Via::kEmbedded, Via::kTcp),
                         ViaName);

}  // namespace
}  // namespace hrztest
