// The module's request functions, byte by byte against a scripted server.
#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "entry/request_channel.h"
#include "entry/requests.h"
#include "hrzcommon/wire.h"
#include "platform_ui.h"
#include "support/fake_server.h"
#include "xclidb.h"

namespace hrztest {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The fields of a request body, checked to end with the terminator.
std::vector<Bytes> FieldsOf(const Bytes& body) {
  std::vector<Bytes> fields;
  hrz::wire::BodyReader reader(body);
  std::span<const std::uint8_t> field;
  while (reader.Next(&field)) fields.emplace_back(field.begin(), field.end());
  EXPECT_TRUE(hrz::wire::IsWellFormedBody(body));
  return fields;
}

FakeAnswer Status(std::uint8_t status, Bytes body = {}) {
  return FakeAnswer{FakeAnswer::kReply, status, -1, std::move(body)};
}

class ModuleRequestTest : public ::testing::Test {
 protected:
  // Starts the fake server with a script and logs on as code.
  tagXCliDB* Connect(FakeServer::Script script, const char* code = "adm") {
    server_ = std::make_unique<FakeServer>(std::move(script), code);
    char error[256] = {};
    db_ = XCliDB_Open(server_->location().c_str(), error, sizeof error);
    EXPECT_NE(db_, nullptr) << error;
    int status = 0;
    EXPECT_EQ(XCliDB_Logon(db_, code, "pw", 1, &status, nullptr, 0), 1);
    return db_;
  }
  void TearDown() override { XCliDB_Close(db_); }

  // True when another thread can take the send lock within a second.
  bool LockIsFree() {
    auto other = std::async(std::launch::async, [db = db_] {
      XCliSendLock* lock = XCliDB_LockSendAndWait(db);
      XCliDB_ReleaseSendAndWait(db, lock);
    });
    return other.wait_for(std::chrono::seconds(1)) == std::future_status::ready;
  }

  std::unique_ptr<FakeServer> server_;
  tagXCliDB* db_ = nullptr;
};

TEST_F(ModuleRequestTest, VerifySendsTheCodeAndTheSealedPasswordAndCopiesTheReplyText) {
  tagXCliDB* db =
      Connect([](const Frame&) { return Status(32, Fields({Text("a=1|pwd_try_left= 3 |b")})); });
  const hrz::VerifyReply reply = hrz::VerifyPasswordRequest(db, "adm", "");
  EXPECT_EQ(reply.outcome, hrz::VerifyOutcome::kWrong);
  EXPECT_EQ(reply.replyText, "a=1|pwd_try_left= 3 |b");
  const auto frames = server_->Received();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].header, (Bytes{0, 0, 0, 0, 5, 2, 30, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                     0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  const auto fields = FieldsOf(frames[0].body);
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields[0], Text("adm"));
  // The empty password still travels, sealed, never in plain text.
  std::string plain = "not opened";
  ASSERT_TRUE(server_->OpenSealed(fields[1], &plain));
  EXPECT_EQ(plain, "");
  EXPECT_TRUE(LockIsFree());
}

TEST_F(ModuleRequestTest, VerifyAndSetNameTheOutcomeOfEachStatus) {
  FakeAnswer next;
  tagXCliDB* db = Connect([&](const Frame&) { return next; });
  const struct {
    FakeAnswer answer;
    hrz::VerifyOutcome outcome;
    std::string replyText;
  } verify[] = {
      {Status(31), hrz::VerifyOutcome::kCorrect, ""},
      {Status(32), hrz::VerifyOutcome::kWrong, ""},  // no reply field: nothing copied
      {Status(34, Fields({Text("x")})), hrz::VerifyOutcome::kLocked, "x"},
      {Status(3, Fields({Text("no")})), hrz::VerifyOutcome::kFailed, "no"},
  };
  for (const auto& c : verify) {
    next = c.answer;
    const hrz::VerifyReply reply = hrz::VerifyPasswordRequest(db, "adm", "pw");
    EXPECT_EQ(reply.outcome, c.outcome) << int{c.answer.status};
    EXPECT_EQ(reply.replyText, c.replyText) << int{c.answer.status};
  }
  const struct {
    std::uint8_t status;
    hrz::SetPasswordOutcome outcome;
  } set[] = {
      {1, hrz::SetPasswordOutcome::kSet},
      {3, hrz::SetPasswordOutcome::kNoRight},
      {2, hrz::SetPasswordOutcome::kFailed},
      {31, hrz::SetPasswordOutcome::kFailed},
  };
  for (const auto& c : set) {
    next = Status(c.status);
    EXPECT_EQ(hrz::SetPasswordRequest(db, nullptr, "n3w"), c.outcome) << int{c.status};
  }
}

TEST_F(ModuleRequestTest, SetPasswordSendsAnEmptyCodeForTheLoggedInUser) {
  tagXCliDB* db = Connect([](const Frame&) { return Status(3); });
  EXPECT_EQ(hrz::SetPasswordRequest(db, nullptr, "n3w"), hrz::SetPasswordOutcome::kNoRight);
  const auto frames = server_->Received();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].cls(), 5);
  EXPECT_EQ(frames[0].group(), 1);
  EXPECT_EQ(frames[0].code(), 1);
  EXPECT_EQ(Bytes(frames[0].body.begin(), frames[0].body.begin() + 2), (Bytes{0, 0}));
  const auto fields = FieldsOf(frames[0].body);
  std::string plain;
  ASSERT_TRUE(server_->OpenSealed(fields.at(1), &plain));
  EXPECT_EQ(plain, "n3w");
}

TEST_F(ModuleRequestTest, CodeLookupIsFreeOnlyForStatusFourOrTheEditedRecord) {
  struct Case {
    FakeAnswer answer;
    int editing;
    bool free;
  } cases[] = {
      {Status(4), 7, true},
      {Status(2, Fields({Int32(7)})), 7, true},
      {Status(2, Fields({Int32(8)})), 7, false},
      {Status(2, Fields({Int32(7), Text("x")})), 7, false},  // not exactly 8 bytes
      {Status(9), 7, false},
      {FakeAnswer::Drop(), 7, false},
  };
  std::size_t index = 0;
  Connect([&](const Frame&) { return cases[index].answer; });
  for (; index < std::size(cases); ++index) {
    // A dropped connection cannot be reused: each case has its own connection.
    XCliDB_Close(db_);
    char error[256];
    db_ = XCliDB_Open(server_->location().c_str(), error, sizeof error);
    ASSERT_NE(db_, nullptr);
    EXPECT_EQ(hrz::IsUserCodeFree(db_, "bob", cases[index].editing), cases[index].free) << index;
  }
}

TEST_F(ModuleRequestTest, NodeAndUserOperationsMapTheirStatuses) {
  std::uint8_t next = 0;
  Bytes body;
  tagXCliDB* db = Connect([&](const Frame&) { return Status(next, body); });
  next = 11;
  body = Fields({Int32(42)});
  EXPECT_EQ(hrz::AttachToNodeRequest(db, 3, 10), 42);
  body = Fields({Text("ab")});  // not a 32-bit field
  EXPECT_EQ(hrz::AttachToNodeRequest(db, 3, 10), -1);
  body.clear();
  EXPECT_EQ(hrz::DeleteNodeRequest(db, 3), hrz::DeleteNodeOutcome::kDeleted);
  next = 12;
  EXPECT_EQ(hrz::DeleteNodeRequest(db, 3), hrz::DeleteNodeOutcome::kNotEmpty);
  next = 13;
  EXPECT_EQ(hrz::DeleteNodeRequest(db, 3), hrz::DeleteNodeOutcome::kFailed);
  next = 3;
  EXPECT_TRUE(hrz::DeleteUserRequest(db, 10));
  EXPECT_TRUE(hrz::RemoveUserRequest(db, 77));
  next = 4;
  EXPECT_FALSE(hrz::RemoveUserRequest(db, 77));

  const auto frames = server_->Received();
  ASSERT_EQ(frames.size(), 8u);
  EXPECT_EQ(FieldsOf(frames[0].body), (std::vector<Bytes>{Int32(3), Int32(10)}));
  EXPECT_EQ((Bytes{frames[0].header[4], frames[0].header[5], frames[0].header[6]}),
            (Bytes{5, 1, 10}));
  EXPECT_EQ((Bytes{frames[2].header[4], frames[2].header[5], frames[2].header[6]}),
            (Bytes{5, 5, 10}));
  EXPECT_EQ((Bytes{frames[5].header[4], frames[5].header[5], frames[5].header[6]}),
            (Bytes{5, 5, 1}));
  EXPECT_EQ((Bytes{frames[6].header[4], frames[6].header[5], frames[6].header[6]}),
            (Bytes{5, 5, 2}));
  EXPECT_EQ(FieldsOf(frames[6].body), (std::vector<Bytes>{Int32(77)}));
}

TEST_F(ModuleRequestTest, PrivilegeReadSendsTheReplyHeaderBackAndChecksTheGrantorLength) {
  bool shortGrantors = false;
  tagXCliDB* db = Connect([&](const Frame& f) {
    if (f.code() == 20) return Status(22, Fields({Text("XvXM")}));
    Bytes grantors;
    for (std::int32_t g : {0, 1, 0, 16}) {
      const Bytes b = Int32(g);
      grantors.insert(grantors.end(), b.begin(), b.end());
    }
    if (shortGrantors) grantors.resize(12);
    return Status(21, Fields({grantors}));
  });
  std::string marks;
  std::vector<std::uint32_t> grantors;
  ASSERT_TRUE(hrz::ReadPrivilegeSet(db, nullptr, 16, &marks, &grantors));
  EXPECT_EQ(marks, "XvXM");
  EXPECT_EQ(grantors, (std::vector<std::uint32_t>{0, 1, 0, 16}));
  const auto frames = server_->Received();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(FieldsOf(frames[0].body), (std::vector<Bytes>{Int32(16)}));
  EXPECT_EQ(frames[1].header[6], 22);  // the first reply's status, sent back
  EXPECT_TRUE(frames[1].body.empty());

  shortGrantors = true;
  XCliSendLock* lock = XCliDB_LockSendAndWait(db);
  EXPECT_FALSE(hrz::ReadPrivilegeSet(db, lock, 16, &marks, &grantors));
  XCliDB_ReleaseSendAndWait(db, lock);
  EXPECT_TRUE(marks.empty());
  EXPECT_TRUE(grantors.empty());
}

TEST_F(ModuleRequestTest, PrivilegeSaveSendsTheStringWithItsZeroThenTheGrantors) {
  tagXCliDB* db = Connect([](const Frame& f) { return Status(f.code() == 15 ? 17 : 16); });
  ASSERT_TRUE(hrz::SavePrivilegeSet(db, nullptr, 5, "VM", {1, 2}));
  ASSERT_TRUE(hrz::SavePrivilegeSet(db, nullptr, 5, "", {}));
  const auto frames = server_->Received();
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(FieldsOf(frames[0].body), (std::vector<Bytes>{Int32(5), Bytes{'V', 'M', 0}}));
  EXPECT_EQ(frames[1].header[6], 17);
  EXPECT_EQ(FieldsOf(frames[1].body), (std::vector<Bytes>{Bytes{1, 0, 0, 0, 2, 0, 0, 0}}));
  // No rights left: an empty string and an empty grantor field.
  EXPECT_EQ(FieldsOf(frames[2].body), (std::vector<Bytes>{Int32(5), Bytes{0}}));
  EXPECT_EQ(FieldsOf(frames[3].body), (std::vector<Bytes>{Bytes{}}));
}

// The cursor shown now, left as it was.
HCURSOR CurrentCursor() {
  HCURSOR current = SetCursor(nullptr);
  SetCursor(current);
  return current;
}

TEST_F(ModuleRequestTest, ReloadIsTheAdministratorsAndMapsEveryOutcome) {
  FakeAnswer next = Status(5);
  HCURSOR during = nullptr;
  tagXCliDB* db = Connect([&](const Frame&) {
    during = CurrentCursor();
    return next;
  });
  EXPECT_EQ(hrz::ReloadServerRequest(db, hrz::protocol::kReloadFromPrivilegeEditor),
            hrz::ReloadOutcome::kDone);
  EXPECT_EQ(during, LoadCursor(nullptr, IDC_WAIT));
  EXPECT_EQ(CurrentCursor(), LoadCursor(nullptr, IDC_ARROW));
  const auto frames = server_->Received();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(FieldsOf(frames[0].body), (std::vector<Bytes>{Bytes{65, 0, 0, 0, 80, 0, 0, 0}}));
  constexpr auto kUsers = hrz::protocol::kReloadFromUserManager;
  next = Status(6);
  EXPECT_EQ(hrz::ReloadServerRequest(db, kUsers), hrz::ReloadOutcome::kNoRight);
  next = Status(7);
  EXPECT_EQ(hrz::ReloadServerRequest(db, kUsers), hrz::ReloadOutcome::kRefused);
  next = FakeAnswer::Drop();
  EXPECT_EQ(hrz::ReloadServerRequest(db, kUsers), hrz::ReloadOutcome::kNoAnswer);
  EXPECT_TRUE(LockIsFree());
}

TEST_F(ModuleRequestTest, ReloadByAnotherUserSendsNothing) {
  tagXCliDB* db = Connect([](const Frame&) { return Status(5); }, "bob");
  EXPECT_EQ(hrz::ReloadServerRequest(db, hrz::protocol::kReloadFromUserManager),
            hrz::ReloadOutcome::kNoRight);
  EXPECT_TRUE(server_->Received().empty());
}

TEST_F(ModuleRequestTest, FileNamesAreReadOnlyWithinTheirBounds) {
  FakeAnswer next;
  tagXCliDB* db = Connect([&](const Frame&) { return next; });
  std::string name;
  next = Status(64, Fields({Text("up/10.bmp")}));
  EXPECT_TRUE(hrz::UploadFileNameRequest(db, "CBMPSG", 10, "bmp", &name));
  EXPECT_EQ(name, "up/10.bmp");
  next = Status(64, Fields({Text(std::string(261, 'n'))}));
  EXPECT_FALSE(hrz::UploadFileNameRequest(db, "CBMPSG", 10, "bmp", &name));
  next = Status(64, Fields({Text("")}));
  EXPECT_FALSE(hrz::StoredFileNameRequest(db, "UUSR", "CBMPSG", 10, &name));
  next = Status(10, Fields({Text("client/a.xcf")}));
  next.group = 2;
  EXPECT_FALSE(hrz::DownloadNameRequest(db, "\\\\fake\\client\\a.xcf", &name));
  next.group = 6;
  EXPECT_TRUE(hrz::DownloadNameRequest(db, "\\\\fake\\client\\a.xcf", &name));
  EXPECT_EQ(name, "client/a.xcf");
  // A field whose length word runs past the reply is never read.
  next.body = {9, 0, 'a', 'b', 0xff, 0x7f};
  EXPECT_FALSE(hrz::DownloadNameRequest(db, "\\\\fake\\client\\a.xcf", &name));

  const auto frames = server_->Received();
  EXPECT_EQ(FieldsOf(frames[0].body),
            (std::vector<Bytes>{Text("UUSR"), Text("CBMPSG"), Int32(10), Text("bmp")}));
  EXPECT_EQ(FieldsOf(frames[2].body),
            (std::vector<Bytes>{Text("UUSR"), Text("CBMPSG"), Int32(10)}));
}

TEST_F(ModuleRequestTest, RecordSaveChecksTheStatusAndReadsBothReturnedNids) {
  Bytes block(192, 0);
  Bytes reply;
  tagXCliDB* db = Connect([&](const Frame& f) { return Status(f.code(), reply); });
  const Bytes body = Fields({Int32(1)});
  hrz::SavedRecordNids saved;
  XCliSendLock* lock = nullptr;
  auto save = [&](bool last) {
    reply = Fields({block});
    return hrz::RecordSaveRequest(db, lock, last, body.data(), static_cast<int>(body.size()),
                                  &saved);
  };
  lock = XCliDB_LockSendAndWait(db);
  EXPECT_TRUE(save(false));
  EXPECT_FALSE(save(true)) << "no item NID in the block";
  auto put = [&block](std::size_t offset, std::int32_t value) {
    const Bytes bytes = Int32(value);
    std::copy(bytes.begin(), bytes.end(), block.begin() + offset);
  };
  put(131, 321);  // the block's item NID, reply byte 133
  put(176, 654);  // its link NID, reply byte 178
  EXPECT_TRUE(save(true));
  EXPECT_EQ(saved.itemNid, 321);
  EXPECT_EQ(saved.linkNid, 654);
  put(176, 0);
  EXPECT_TRUE(save(true));
  EXPECT_EQ(saved.linkNid, -1) << "a record saved without a link";
  block.resize(187);  // a reply of 191 bytes, shorter than a block
  EXPECT_FALSE(save(true));
  XCliDB_ReleaseSendAndWait(db, lock);
  // Earlier messages of a save carry code 2, the last one code 1.
  const auto frames = server_->Received();
  ASSERT_EQ(frames.size(), 5u);
  EXPECT_EQ((Bytes{frames[0].header[4], frames[0].header[5], frames[0].header[6]}),
            (Bytes{68, 4, 2}));
  EXPECT_EQ((Bytes{frames[1].header[4], frames[1].header[5], frames[1].header[6]}),
            (Bytes{68, 4, 1}));
}

TEST_F(ModuleRequestTest, OnlineStateAcknowledgesALoggedOnUser) {
  FakeAnswer next = Status(2);
  tagXCliDB* db = Connect([&](const Frame&) { return next; });
  EXPECT_EQ(hrz::OnlineStateRequest(db, "bob"), hrz::OnlineState::kOnline);
  next = Status(4);
  EXPECT_EQ(hrz::OnlineStateRequest(db, "bob"), hrz::OnlineState::kOffline);
  const auto frames = server_->Received();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(FieldsOf(frames[0].body), (std::vector<Bytes>{Bytes{'b', 'o', 'b', 0}}));
  EXPECT_TRUE(frames[1].oneWay);
  EXPECT_EQ((Bytes{frames[1].header[4], frames[1].header[5], frames[1].header[6]}),
            (Bytes{2, 3, 3}));
  EXPECT_TRUE(frames[1].body.empty());
  EXPECT_FALSE(frames[2].oneWay);
  next = FakeAnswer::Drop();
  EXPECT_EQ(hrz::OnlineStateRequest(db, "bob"), hrz::OnlineState::kUnknown);
}

TEST_F(ModuleRequestTest, ABodyLargerThanItsBufferIsNeverSent) {
  tagXCliDB* db = Connect([](const Frame&) { return Status(4); });
  EXPECT_FALSE(hrz::IsUserCodeFree(db, std::string(9000, 'c').c_str(), 1));
  EXPECT_TRUE(server_->Received().empty());
  EXPECT_TRUE(LockIsFree());
}

TEST_F(ModuleRequestTest, AReplyLargerThanTheCallersBufferFailsAndKeepsTheConnectionInStep) {
  tagXCliDB* db = Connect([](const Frame& f) {
    if (f.code() == 30) return Status(32, Fields({Text(std::string(400, 'x'))}));
    return Status(4);
  });
  // The 163-byte reply buffer cannot take it: a failed send.
  EXPECT_EQ(hrz::VerifyPasswordRequest(db, "adm", "pw").outcome, hrz::VerifyOutcome::kFailed);
  EXPECT_TRUE(hrz::IsUserCodeFree(db, "new", 1));
}

}  // namespace
}  // namespace hrztest
