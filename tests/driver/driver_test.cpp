// The stand-in's answers, straight from its request handler: what it accepts, what it
// refuses and why, what it keeps, and the line it logs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hrzcommon/krn_protocol.h"
#include "hrzcommon/krn_socket.h"
#include "hrzcommon/text.h"
#include "hrzcommon/wire.h"
#include "hrzkrnd/driver.h"

namespace hrzkrnd {
namespace {

namespace krn = hrz::krn;

krn::Bytes Cut(krn::Bytes bytes, std::size_t drop) {
  bytes.resize(bytes.size() - drop);
  return bytes;
}

krn::Bytes WithByte(krn::Bytes bytes, std::size_t at, std::uint8_t value) {
  bytes[at] = value;
  return bytes;
}

TEST(StandInDriver, ChecksEveryRequestBeforeActingOnIt) {
  const krn::Bytes process = krn::EncodeProcessRequest(42, u"app.exe");
  const krn::Bytes text = krn::EncodeTextRequest(u"[HR123~a.dwg");
  krn::Bytes oddLength = text;
  oddLength.push_back(0);
  struct Case {
    const char* label;
    std::uint32_t code;
    krn::Bytes input;
    std::uint32_t capacity;
    std::uint32_t status;
    std::size_t replySize;
  };
  const Case cases[] = {
      {"probe", krn::kProbe, {}, 4, krn::kStatusOk, 4},
      {"probe into 3 bytes", krn::kProbe, {}, 3, krn::kStatusInsufficientBuffer, 0},
      {"register", krn::kRegister, process, 64, krn::kStatusOk, 18},
      {"reply into 17 bytes", krn::kControl20, process, 17, krn::kStatusInsufficientBuffer, 0},
      {"unknown code", 2, process, 64, krn::kStatusInvalidFunction, 0},
      {"no marker", krn::kRegister, WithByte(process, 0, '#'), 64, krn::kStatusAccessDenied, 0},
      {"marker only", krn::kRegister, Cut(process, process.size() - 16), 64,
       krn::kStatusInvalidParameter, 0},
      {"no value", krn::kControl21, Cut(process, process.size() - 18), 64,
       krn::kStatusInvalidParameter, 0},
      {"name without its 0", krn::kRegister, Cut(process, 2), 64, krn::kStatusInvalidParameter, 0},
      {"half a character", krn::kRegister, Cut(process, 1), 64, krn::kStatusInvalidParameter, 0},
      {"a 0 inside the name", krn::kRegister, WithByte(process, 22, 0), 64,
       krn::kStatusInvalidParameter, 0},
      {"text of odd length", krn::kSetValue, oddLength, 64, krn::kStatusInvalidParameter, 0},
      {"text without its 0", krn::kCheckFileName, Cut(text, 2), 64, krn::kStatusInvalidParameter,
       0},
      {"an empty text", krn::kSetValue, krn::EncodeTextRequest(u""), 64, krn::kStatusOk, 18},
  };
  for (const Case& c : cases) {
    Driver driver({});
    const Driver::Answer answer = driver.Handle("PDKrn", c.code, c.input, c.capacity);
    EXPECT_EQ(answer.status, c.status) << c.label;
    EXPECT_EQ(answer.bytes.size(), c.replySize) << c.label;
    ASSERT_EQ(driver.Requests().size(), 1u) << c.label;
    EXPECT_EQ(driver.Requests()[0].status, c.status) << c.label;
    const bool registers = c.code == krn::kRegister && c.status == krn::kStatusOk;
    EXPECT_EQ(driver.Registered("PDKrn").size(), registers ? 1u : 0u) << c.label;
  }
}

TEST(StandInDriver, KeepsRegistrationsPerDevice) {
  Driver driver({});
  const krn::Bytes app = krn::EncodeProcessRequest(42, u"app.exe");
  const krn::Bytes other = krn::EncodeProcessRequest(43, u"app.exe");
  EXPECT_EQ(driver.Handle("KQHost", krn::kRegister, app, 64).status, krn::kStatusOk);
  EXPECT_EQ(driver.Handle("KQHost", krn::kRegister, app, 64).status, krn::kStatusOk);
  EXPECT_EQ(driver.Handle("KQHost", krn::kRegister, other, 64).status, krn::kStatusOk);
  EXPECT_EQ(driver.Registered("KQHost"),
            (std::vector<Registration>{{42, "app.exe"}, {43, "app.exe"}}))
      << "a second registration of the same entry is one";
  EXPECT_TRUE(driver.Registered("PDKrn").empty());
  EXPECT_EQ(driver.Handle("PDKrn", krn::kUnregisterRemove, app, 64).status, krn::kStatusNotFound)
      << "registered on another device";
  EXPECT_EQ(driver.Handle("KQHost", krn::kUnregisterKeep, app, 64).status, krn::kStatusOk);
  EXPECT_EQ(driver.Handle("KQHost", krn::kUnregisterRemove, app, 64).status, krn::kStatusNotFound);
  EXPECT_EQ(driver.Registered("KQHost"), (std::vector<Registration>{{43, "app.exe"}}));
}

TEST(StandInDriver, RefusesFileNamesByPatternAndAnswersAsConfigured) {
  Driver driver({.refusedNames = {"[HR9*", "*.tmp"}, .probeAnswer = 310, .replySize = 20});
  const std::pair<const char16_t*, std::uint32_t> names[] = {
      {u"[HR900~a.dwg", krn::kStatusAccessDenied},
      {u"[HR123~a.tmp", krn::kStatusAccessDenied},
      {u"[HR123~a.dwg", krn::kStatusOk},
  };
  for (const auto& [name, status] : names) {
    EXPECT_EQ(driver.Handle("PDKrn", krn::kCheckFileName, krn::EncodeTextRequest(name), 64).status,
              status);
  }
  const Driver::Answer probe = driver.Handle("PDKrn", krn::kProbe, {}, 4);
  EXPECT_EQ(hrz::wire::ReadInt32(probe.bytes.data()), 310);
  EXPECT_EQ(driver.Handle("PDKrn", krn::kSetValue, krn::EncodeTextRequest(u"a=b"), 64).bytes,
            krn::EncodeMarkerReply(20));
}

TEST(StandInDriver, LogsALinePerRequestThatNoNameCanForge) {
  std::vector<std::string> lines;
  Driver driver({}, [&lines](std::string_view line) { lines.emplace_back(line); });
  driver.Handle("KQHost", krn::kProbe, {}, 4);
  driver.Handle("KQHost", krn::kRegister, krn::EncodeProcessRequest(42, u"app.exe"), 64);
  driver.Handle("PDKrn", krn::kSetValue, krn::EncodeTextRequest(u"a=\"b\"\n2024 forged"), 64);
  driver.Handle("PDKrn", 99, {}, 64);
  driver.Handle("PDKrnTc", krn::kUnregisterKeep, krn::EncodeProcessRequest(7, u"x"), 64);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "KQHost probe -> ok",
                       "KQHost register value=42 \"app.exe\" -> ok",
                       "PDKrn set-value \"a=\\\"b\\\"\\x0a2024 forged\" -> ok",
                       "PDKrn code 99 -> unknown control code",
                       "PDKrnTc unregister-keep value=7 \"x\" -> not registered",
                   }));
}

TEST(StandInDriver, KeepsOnlyTheMostRecentRequests) {
  Driver driver({});
  for (std::size_t i = 0; i < Driver::kKeptRequests + 5; ++i) {
    driver.Handle("PDKrn", krn::kSetValue,
                  krn::EncodeTextRequest(hrz::Utf8ToUtf16(std::to_string(i))), 64);
  }
  const std::vector<Request> kept = driver.Requests();
  ASSERT_EQ(kept.size(), Driver::kKeptRequests);
  EXPECT_EQ(kept.front().text, "5");
  EXPECT_EQ(kept.back().text, std::to_string(Driver::kKeptRequests + 4));
}

}  // namespace
}  // namespace hrzkrnd
