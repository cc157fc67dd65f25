// The record save message read byte by byte: the manager runs on the sample store behind a
// proxy that answers the save (68, 4) in the server's place and lets the engine answer the
// rest.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "hrzcommon/wire.h"
#include "org_fixture.h"
#include "platform_ui.h"
#include "resources/dialogs/roledept_ids.h"
#include "support/proxy_server.h"
#include "support/temp_dir.h"

namespace hrztest {
namespace {

using hrz::DialogDriver;
using Bytes = std::vector<std::uint8_t>;

struct Entry {
  std::string field;
  int kindFlag = -1;
  int type = -1;
  std::string value;
};

// One save message as the server reads it.
struct SaveBody {
  std::uint32_t count = 0;
  Bytes block;  // empty in every message but the first
  std::vector<Entry> entries;
  bool wellFormed = false;
};

std::string TextAt(const Bytes& block, std::size_t offset) {
  return reinterpret_cast<const char*>(block.data() + offset);
}

std::int32_t IntAt(const Bytes& block, std::size_t offset) {
  return hrz::wire::ReadInt32(block.data() + offset);
}

SaveBody Parse(const Bytes& body, bool first) {
  SaveBody save;
  hrz::wire::BodyReader in(body);
  std::span<const std::uint8_t> field;
  if (!in.Next(&field) || field.size() != 4) return save;
  save.count = static_cast<std::uint32_t>(hrz::wire::ReadInt32(field.data()));
  if (first) {
    if (!in.Next(&field) || field.size() != 192) return save;
    save.block.assign(field.begin(), field.end());
  }
  while (in.Next(&field)) {
    if (field.size() < 29) return save;
    Entry e;
    e.field = std::string(reinterpret_cast<const char*>(field.data()),
                          strnlen(reinterpret_cast<const char*>(field.data()), 24));
    e.kindFlag = field[24];
    e.type = field[25] | field[26] << 8;
    const std::size_t length = field[27] | field[28] << 8;
    if (field.size() != 29 + length) return save;
    e.value.assign(field.begin() + 29, field.end());
    save.entries.push_back(e);
  }
  save.wellFormed = in.AtTerminator() && body.size() >= 2 && body[body.size() - 2] == 0xff &&
                    body.back() == 0x7f && save.entries.size() == save.count;
  return save;
}

// The fields of the entries, in order.
std::vector<std::string> FieldsOf(const SaveBody& save) {
  std::vector<std::string> fields;
  for (const Entry& e : save.entries) fields.push_back(e.field);
  return fields;
}

const Entry* Find(const SaveBody& save, const std::string& field) {
  for (const Entry& e : save.entries) {
    if (e.field == field) return &e;
  }
  return nullptr;
}

class SaveMessageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    storePath_ = dir_.File("store.db");
    CopySampleStore(storePath_);
    std::string error;
    engine_ = hrzsrv::Engine::Open(storePath_, nullptr, &error);
    ASSERT_TRUE(engine_) << error;
    proxy_ = std::make_unique<ProxyServer>(*engine_, [this](const Frame& f) { return Answer(f); });
  }

  // The server's part: a save is answered with the request code, the last message with the
  // block of the first, carrying newNid_ for a new record and linkNid_ as its link.
  std::optional<FakeAnswer> Answer(const Frame& f) {
    if (f.cls() == 5 && f.group() == 1 && f.code() == 1 && answerPasswordSet_) {
      FakeAnswer set;
      set.status = 1;
      return set;
    }
    if (f.cls() != 68 || f.group() != 4) return std::nullopt;
    std::lock_guard lock(mutex_);
    if (saveStatus_ >= 0) {
      FakeAnswer refused;
      refused.status = static_cast<std::uint8_t>(saveStatus_);
      return refused;
    }
    if (block_.empty()) block_ = Parse(f.body, true).block;
    FakeAnswer answer;
    answer.status = f.code();
    if (f.code() == 1) {
      Bytes block = block_;
      if (block.size() == 192 && hrz::wire::ReadInt32(block.data() + 131) < 1) {
        hrz::wire::WriteInt32(block.data() + 131, newNid_);
      }
      if (block.size() == 192) hrz::wire::WriteInt32(block.data() + 176, linkNid_);
      answer.body = Fields({block});
      block_.clear();
    }
    return answer;
  }

  void StartAs(const char* code, const char* password) {
    db_ = TryLogon(proxy_->location(), code, password);
    ASSERT_TRUE(db_);
    module_.Initialise(db_.get());
  }

  void RunManager(std::function<void(DialogDriver&)> action) {
    module_.user().OnDialog(IDD_ROLEDEPT, std::move(action));
    module_.Run("XUSRMAN");
  }

  // The save messages sent, in order.
  std::vector<Frame> Saves() const {
    std::vector<Frame> saves;
    for (const Frame& f : proxy_->Received()) {
      if (f.cls() == 68) saves.push_back(f);
    }
    return saves;
  }

  // The kinds (class, group, code) of the requests sent, in order.
  std::vector<std::string> Kinds() const {
    std::vector<std::string> kinds;
    for (const Frame& f : proxy_->Received()) {
      kinds.push_back(std::to_string(f.cls()) + "," + std::to_string(f.group()) + "," +
                      std::to_string(f.code()));
    }
    return kinds;
  }

  // The server's day, as the whole part of a date number.
  std::string Today() {
    return std::to_string(static_cast<int>(XCliDB_GetServerTimeDouble(db_.get())));
  }

  TempDir dir_;
  std::string storePath_;
  std::unique_ptr<hrzsrv::Engine> engine_;
  std::unique_ptr<ProxyServer> proxy_;
  Connection db_;
  ModuleHost module_{ManagerTexts()};
  std::mutex mutex_;
  Bytes block_;          // guarded by mutex_
  int saveStatus_ = -1;  // answer every save with this status; -1: as the server
  bool answerPasswordSet_ = false;
  std::int32_t newNid_ = 777;
  std::int32_t linkNid_ = 888;
};

TEST_F(SaveMessageTest, OneChangedFieldIsSentWithTheRecordBlockAndTheDate) {
  StartAs("adm", kAdminPassword);
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CNAME", " Robert "));
    ASSERT_TRUE(d.Click(IDOK));
    EXPECT_EQ(ShownTips(), std::vector<std::string>{"dlg_userman.save done"});
  });
  EXPECT_TRUE(module_.MessageTexts().empty());
  const std::vector<Frame> saves = Saves();
  ASSERT_EQ(saves.size(), 1u);
  EXPECT_EQ(saves[0].code(), 1);
  const SaveBody save = Parse(saves[0].body, true);
  ASSERT_TRUE(save.wellFormed);
  EXPECT_EQ(TextAt(save.block, 0), "UUSR");
  EXPECT_EQ(TextAt(save.block, 98), "UUSR");
  EXPECT_EQ(IntAt(save.block, 131), kBobNid);
  EXPECT_EQ(IntAt(save.block, 135), 0);
  EXPECT_EQ(IntAt(save.block, 139), 1) << "update";
  EXPECT_EQ(TextAt(save.block, 143), "UUSRBM");
  EXPECT_EQ(IntAt(save.block, 176), 13) << "bob's link below Mechanical Design";
  EXPECT_EQ(IntAt(save.block, 180), 0);
  EXPECT_EQ(IntAt(save.block, 184), 0);
  EXPECT_EQ(IntAt(save.block, 188), 1) << "the link is updated";
  Bytes zeros(192, 0);
  Bytes padding = save.block;
  for (std::size_t at : {0u, 98u, 143u}) std::fill_n(padding.begin() + at, 7, 0);
  for (std::size_t at : {131u, 139u, 176u, 188u}) std::fill_n(padding.begin() + at, 4, 0);
  EXPECT_EQ(padding, zeros) << "zero everywhere else";

  ASSERT_EQ(FieldsOf(save), (std::vector<std::string>{"UUSR.CNAME", "UUSR.DMODI"}));
  EXPECT_EQ(save.entries[0].value, "Robert") << "trimmed";
  EXPECT_EQ(save.entries[0].kindFlag, 0);
  EXPECT_EQ(save.entries[0].type, 1);
  const std::string modified = save.entries[1].value;
  EXPECT_EQ(modified.substr(0, 9), Today() + ".") << modified;
  EXPECT_EQ(modified.size(), 15u) << "six decimals";
}

TEST_F(SaveMessageTest, NothingIsSentWithoutAChange) {
  StartAs("adm", kAdminPassword);
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    ASSERT_TRUE(d.Click(IDOK));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CNAME", "BOB BAKER"));
    ASSERT_TRUE(d.Click(IDOK));
    EXPECT_TRUE(ShownTips().empty());
  });
  EXPECT_TRUE(Saves().empty()) << "a change of letter case alone is none";
  EXPECT_TRUE(module_.MessageTexts().empty());
}

TEST_F(SaveMessageTest, ALongSaveGoesOutAsAnEarlyAndALastMessage) {
  StartAs("adm", kAdminPassword);
  std::string ips;
  while (ips.size() < 4500) ips += "10.0.0." + std::to_string(ips.size() % 200) + ",";
  const std::string name(4000, 'n');
  RunManager([&](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CNAME", name));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CLGNIP", ips));
    ASSERT_TRUE(d.Click(IDOK));
  });
  EXPECT_TRUE(module_.MessageTexts().empty()) << "the IP list is valid";
  const std::vector<Frame> saves = Saves();
  ASSERT_EQ(saves.size(), 2u);
  EXPECT_EQ(saves[0].code(), 2);
  EXPECT_EQ(saves[1].code(), 1);
  const SaveBody early = Parse(saves[0].body, true);
  const SaveBody last = Parse(saves[1].body, false);
  ASSERT_TRUE(early.wellFormed);
  ASSERT_TRUE(last.wellFormed);
  EXPECT_EQ(IntAt(early.block, 131), kBobNid);
  EXPECT_EQ(FieldsOf(early), std::vector<std::string>{"UUSR.CNAME"});
  EXPECT_EQ(early.entries[0].value, name);
  EXPECT_EQ(FieldsOf(last), (std::vector<std::string>{"UUSR.CLGNIP", "UUSR.DMODI"}));
  EXPECT_EQ(last.entries[0].value, ips);
  for (const Frame& f : saves) EXPECT_LE(f.body.size(), 8192u);
}

TEST_F(SaveMessageTest, AValueTooLongForOneMessageIsRefusedWhole) {
  StartAs("adm", kAdminPassword);
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CNAME", std::string(8064, 'n')));
    ASSERT_TRUE(d.Click(IDOK));
    EXPECT_EQ(Field(d, "CNAME").size(), 8064u) << "the edit stays";
  });
  EXPECT_EQ(module_.MessageTexts(), std::vector<std::string>{"dlg_userman.save error"});
  EXPECT_TRUE(Saves().empty());
}

TEST_F(SaveMessageTest, ARefusedSaveKeepsTheEdit) {
  StartAs("adm", kAdminPassword);
  saveStatus_ = 251;
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CNAME", "Robert"));
    ASSERT_TRUE(d.Click(IDOK));
    EXPECT_EQ(Field(d, "CNAME"), "Robert");
  });
  EXPECT_EQ(module_.MessageTexts(), std::vector<std::string>{"dlg_userman.save error"});
}

TEST_F(SaveMessageTest, ANewDepartmentHangsBelowTheFocusedDepartment) {
  StartAs("adm", kAdminPassword);
  struct Case {
    int focused;
    int parent;
  };
  const Case cases[] = {{kMechNid, kMechNid}, {kRootNid, kRootNid}, {kBobNid, kMechNid}};
  for (const Case& c : cases) {
    const std::size_t before = Saves().size();
    RunManager([&](DialogDriver& d) {
      ASSERT_TRUE(ClickRecord(d, c.focused));
      ASSERT_TRUE(d.Click(IDC_ROLEDEPT_NEW_DEPT));
      EXPECT_EQ(ShownTips(), std::vector<std::string>{"dlg_userman.new usr here"});
      EXPECT_FALSE(d.HasField(IDC_ROLEDEPT_RECORD, "CPWD"));
      EXPECT_EQ(Field(d, "CCODE"), "");
      ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CCODE", "TOOLS"));
      ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CNAME", "Tooling"));
      ASSERT_TRUE(d.Click(IDOK));
    });
    ASSERT_EQ(Saves().size(), before + 1) << c.focused;
    const SaveBody save = Parse(Saves().back().body, true);
    ASSERT_TRUE(save.wellFormed);
    EXPECT_EQ(TextAt(save.block, 0), "UDEPT New");
    EXPECT_EQ(IntAt(save.block, 131), -1);
    EXPECT_EQ(IntAt(save.block, 139), 2) << "new";
    EXPECT_EQ(IntAt(save.block, 176), -1);
    EXPECT_EQ(IntAt(save.block, 180), c.parent) << c.focused;
    EXPECT_EQ(IntAt(save.block, 188), 2);
    EXPECT_EQ(FieldsOf(save),
              (std::vector<std::string>{"UUSR.CCODE", "UUSR.CNAME", "UUSR.CSRC", "UUSR.NCRTOR",
                                        "UUSR.DCRTE", "UUSR.DMODI", "UUSRBM.CVWA"}));
    EXPECT_EQ(Find(save, "UUSR.CSRC")->value, "UDEPT");
    EXPECT_EQ(Find(save, "UUSR.CSRC")->kindFlag, 1);
    EXPECT_EQ(Find(save, "UUSR.NCRTOR")->value, "adm");
    EXPECT_EQ(Find(save, "UUSR.NCRTOR")->kindFlag, 0);
    EXPECT_EQ(Find(save, "UUSRBM.CVWA")->value, "T");
    EXPECT_EQ(Find(save, "UUSR.DCRTE")->value, Find(save, "UUSR.DMODI")->value);
  }
  EXPECT_TRUE(module_.MessageTexts().empty());
}

TEST_F(SaveMessageTest, ANewUserGetsTheDefaultRuleAndThenItsPassword) {
  WriteStore(storePath_, "update UUSR set CPWDRULE = 'L6C', NPWDDAYS = 90 where NID = 2");
  answerPasswordSet_ = true;
  StartAs("adm", kAdminPassword);
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_NEW_USER));
    EXPECT_EQ(Field(d, "CPWDRULE"), "L6C");
    EXPECT_EQ(Field(d, "NPWDDAYS"), "90");
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CCODE", "zoe"));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CNAME", "Zoe Zimmer"));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CPWD", "Zoe-pw-1"));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "RE_CPWD", "Zoe-pw-1"));
    ASSERT_TRUE(d.Click(IDOK));
  });
  EXPECT_TRUE(module_.MessageTexts().empty());
  const std::vector<Frame> saves = Saves();
  ASSERT_EQ(saves.size(), 1u);
  const SaveBody save = Parse(saves[0].body, true);
  ASSERT_TRUE(save.wellFormed);
  EXPECT_EQ(TextAt(save.block, 0), "UUSR New");
  EXPECT_EQ(IntAt(save.block, 180), kMechNid);
  EXPECT_EQ(Find(save, "UUSR.CSRC")->value, "UUSRI");
  EXPECT_EQ(Find(save, "UUSR.CPWDRULE")->value, "L6C");
  EXPECT_EQ(Find(save, "UUSR.NPWDDAYS")->value, "90");
  EXPECT_EQ(Find(save, "UUSR.CPWD"), nullptr) << "passwords never go into a save";
  EXPECT_EQ(Find(save, "UUSR.RE_CPWD"), nullptr);
  // The code is checked, the record saved, then its password set through the server.
  const std::vector<std::string> kinds = Kinds();
  const auto find = std::find(kinds.begin(), kinds.end(), "5,2,1");
  const auto saved = std::find(kinds.begin(), kinds.end(), "68,4,1");
  const auto set = std::find(kinds.begin(), kinds.end(), "5,1,1");
  ASSERT_NE(set, kinds.end());
  EXPECT_LT(find, saved);
  EXPECT_LT(saved, set);
}

TEST_F(SaveMessageTest, ANewUsersPasswordFromAManagerIsRefused) {
  WriteStore(storePath_,
             "insert into SRV_PRIVILEGE(NID, CPVG, BGRANTORS) values(305, 'XM', "
             "x'0100000001000000')");
  StartAs("dave", "dave-pw1");
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_NEW_USER));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CCODE", "zoe"));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CNAME", "Zoe Zimmer"));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CPWD", "Zoe-pw-1"));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "RE_CPWD", "Zoe-pw-1"));
    ASSERT_TRUE(d.Click(IDOK));
  });
  EXPECT_EQ(module_.MessageTexts(), std::vector<std::string>{"dlg_chgpwd.no_right"});
  ASSERT_EQ(Saves().size(), 1u) << "the record itself is saved";
  EXPECT_EQ(Find(Parse(Saves()[0].body, true), "UUSR.NCRTOR")->value, "dave");
  const std::vector<std::string> kinds = Kinds();
  EXPECT_EQ(std::count(kinds.begin(), kinds.end(), "5,1,1"), 0);
}

TEST_F(SaveMessageTest, AnEmptyPasswordIsAskedForFirst) {
  StartAs("adm", kAdminPassword);
  module_.user().AnswerNextMessageBox(IDCANCEL);
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_NEW_USER));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CCODE", "zoe"));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CNAME", "Zoe Zimmer"));
    ASSERT_TRUE(d.Click(IDOK));  // Cancel: not saved
    ASSERT_TRUE(d.Click(IDOK));  // OK: saved without a password
  });
  EXPECT_EQ(module_.MessageTexts(),
            (std::vector<std::string>{"dlg_chgpwd.empty pwd", "dlg_userman.save error",
                                      "dlg_chgpwd.empty pwd"}));
  EXPECT_EQ(module_.user().MessageBoxes()[0].type, MB_OKCANCEL | MB_ICONEXCLAMATION);
  EXPECT_EQ(Saves().size(), 1u);
}

}  // namespace
}  // namespace hrztest
