#include "support/engine_fixture.h"

#include <sodium.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstring>

namespace hrztest {

namespace p = hrz::protocol;
namespace wire = hrz::wire;

std::string LocalDay(std::time_t when) {
  std::tm t{};
  localtime_r(&when, &t);
  return std::to_string((t.tm_year + 1900) * 10000 + (t.tm_mon + 1) * 100 + t.tm_mday);
}

std::string Answer::FirstText() const {
  std::string text;
  hrz::wire::BodyReader reader(body);
  return reader.NextText(&text) ? text : std::string("<none>");
}

void EngineTest::SetUp() {
  path_ = dir_.File("store.db");
  CopySampleStore(path_);
  std::string error;
  engine_ = hrzsrv::Engine::Open(path_, clock_, &error);
  ASSERT_TRUE(engine_) << error;
  auto session = NewSession();
  Answer hello = Send(*session, p::kHello, {});
  std::span<const std::uint8_t> key;
  auto fields = hello.Fields();
  ASSERT_TRUE(fields.Next(&key));
  publicKey_.assign(key.begin(), key.end());
}

std::unique_ptr<hrzsrv::Session> EngineTest::NewSession() {
  std::string error;
  auto session = engine_->NewSession("test", &error);
  EXPECT_TRUE(session) << error;
  return session;
}

Answer EngineTest::SendRaw(hrzsrv::Session& session, const std::vector<std::uint8_t>& frame) {
  hrzsrv::Session::Outcome outcome = session.Handle(frame, false);
  Answer answer;
  answer.closed = outcome.close;
  if (outcome.reply.size() >= p::kHeaderSize) {
    answer.received = true;
    answer.status = outcome.reply[p::kCodeByte];
    answer.group = outcome.reply[p::kGroupByte];
    answer.body.assign(outcome.reply.begin() + p::kHeaderSize, outcome.reply.end());
  }
  return answer;
}

Answer EngineTest::Send(hrzsrv::Session& session, p::Kind kind,
                        const std::vector<std::uint8_t>& body, bool oneWay) {
  std::vector<std::uint8_t> frame(p::kHeaderSize + body.size(), 0);
  frame[p::kClassByte] = kind.cls;
  frame[p::kGroupByte] = kind.group;
  frame[p::kCodeByte] = kind.code;
  std::copy(body.begin(), body.end(), frame.begin() + p::kHeaderSize);
  if (oneWay) {
    hrzsrv::Session::Outcome outcome = session.Handle(frame, true);
    Answer answer;
    answer.received = !outcome.reply.empty();
    answer.closed = outcome.close;
    return answer;
  }
  return SendRaw(session, frame);
}

std::vector<std::uint8_t> EngineTest::NonceOf(hrzsrv::Session& session) {
  Answer hello = Send(session, p::kHello, {});
  auto fields = hello.Fields();
  std::span<const std::uint8_t> field;
  std::int32_t version = 0;
  std::string folder;
  EXPECT_TRUE(fields.Next(&field) && fields.NextText(&folder) && fields.NextInt32(&version) &&
              fields.Next(&field));
  return {field.begin(), field.end()};
}

std::string EngineTest::SealWith(const std::vector<std::uint8_t>& nonce, std::uint32_t sequence,
                                 const std::string& plain) {
  std::vector<unsigned char> opened(nonce.begin(), nonce.end());
  for (int i = 0; i < 4; ++i) opened.push_back(static_cast<unsigned char>(sequence >> (8 * i)));
  opened.insert(opened.end(), plain.begin(), plain.end());
  std::vector<unsigned char> sealed(crypto_box_SEALBYTES + opened.size());
  crypto_box_seal(sealed.data(), opened.data(), opened.size(), publicKey_.data());
  std::string text(sodium_base64_ENCODED_LEN(sealed.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(text.data(), text.size(), sealed.data(), sealed.size(),
                    sodium_base64_VARIANT_ORIGINAL);
  text.resize(std::strlen(text.c_str()));
  return text;
}

std::string EngineTest::Seal(hrzsrv::Session& session, const std::string& plain) {
  return SealWith(NonceOf(session), ++sequences_[&session], plain);
}

Answer EngineTest::Logon(hrzsrv::Session& session, const std::string& code,
                         const std::string& password) {
  wire::BodyWriter body;
  body.PutText(code);
  body.PutText(Seal(session, password));
  body.PutInt32(260101);
  return Send(session, p::kLogon, body.Finish());
}

std::unique_ptr<hrzsrv::Session> EngineTest::LoggedOn(const std::string& code,
                                                      const std::string& password) {
  auto session = NewSession();
  EXPECT_EQ(Logon(*session, code, password).status, p::kLogonOk) << code;
  return session;
}

std::string EngineTest::StoreText(const std::string& sql) {
  sqlite3* db = nullptr;
  std::string text = "<none>";
  if (sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
      const auto* value = sqlite3_column_text(stmt, 0);
      text = value ? reinterpret_cast<const char*>(value) : "<null>";
    }
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  return text;
}

}  // namespace hrztest
