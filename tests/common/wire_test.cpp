// Message bodies and frame prefixes: what is written reads back, and nothing malformed
// reads past its bytes.
#include <gtest/gtest.h>

#include "hrzcommon/wire.h"

namespace hrztest {
namespace {

namespace p = hrz::protocol;
namespace wire = hrz::wire;
using Bytes = std::vector<std::uint8_t>;

TEST(WireTest, FieldsReadBackInOrder) {
  wire::BodyWriter writer;
  writer.PutText("");
  writer.PutTextZ("ab");
  writer.PutInt32(-2);
  const std::string big(100000, 'q');
  writer.PutLong(big);
  const Bytes body = writer.Finish();
  EXPECT_EQ(Bytes(body.begin(), body.begin() + 2), (Bytes{0, 0}));  // empty text: 00 00
  EXPECT_EQ(Bytes(body.end() - 2, body.end()), (Bytes{0xff, 0x7f}));
  ASSERT_TRUE(wire::IsWellFormedBody(body));

  wire::BodyReader reader(body);
  std::string text;
  std::int32_t value = 0;
  ASSERT_TRUE(reader.NextText(&text));
  EXPECT_EQ(text, "");
  ASSERT_TRUE(reader.NextTextZ(&text));
  EXPECT_EQ(text, "ab");
  ASSERT_TRUE(reader.NextInt32(&value));
  EXPECT_EQ(value, -2);
  ASSERT_TRUE(reader.NextLong(&text, big.size()));
  EXPECT_EQ(text, big);
  EXPECT_TRUE(reader.AtTerminator());
}

TEST(WireTest, AWriterRefusesAFieldThatWouldLookLikeTheTerminatorAndRemembersIt) {
  wire::BodyWriter writer;
  EXPECT_TRUE(writer.ok());
  EXPECT_FALSE(writer.PutText(std::string(p::kTerminator, 'x')));
  EXPECT_TRUE(writer.PutText(std::string(p::kMaxWriterField, 'x')));
  // The body lacks the refused field, so it stays marked as not to be sent.
  EXPECT_FALSE(writer.ok());
}

TEST(WireTest, MalformedBodiesAreRefused) {
  const Bytes cases[] = {
      {0x05, 0x00, 'a'},        // field longer than the bytes
      {0x01, 0x00, 'a'},        // no terminator
      {0xff, 0x7f, 0x00},       // a byte after the terminator
      {0xff},                   // half a length word
      {0x01, 0x00, 'a', 0xff},  // half a terminator
  };
  for (const Bytes& body : cases) {
    EXPECT_FALSE(wire::IsWellFormedBody(body)) << body.size();
  }
  EXPECT_TRUE(wire::IsWellFormedBody(Bytes{}));
  EXPECT_TRUE(wire::IsWellFormedBody(Bytes{0xff, 0x7f}));
}

TEST(WireTest, ReadersStopAtBoundsAndWrongSizes) {
  const Bytes body = {3, 0, 'a', 'b', 'c', 2, 0, 1, 2, 0xff, 0x7f};
  wire::BodyReader reader(body);
  std::string text;
  EXPECT_FALSE(reader.NextText(&text, 2));  // longer than allowed
  EXPECT_TRUE(reader.OverLimit());
  wire::BodyReader again(body);
  ASSERT_TRUE(again.NextText(&text, 3));
  std::int32_t value = 0;
  EXPECT_FALSE(again.NextInt32(&value));  // a 2-byte field is no integer
  EXPECT_FALSE(again.OverLimit()) << "a wrong size is malformed, not over a limit";

  wire::BodyWriter longValue;
  longValue.PutInt32(10);  // claims ten bytes
  longValue.PutText("12345");
  const Bytes cut = longValue.Finish();
  wire::BodyReader longReader(cut);
  EXPECT_FALSE(longReader.NextLong(&text, 100));
  EXPECT_FALSE(longReader.OverLimit());
  wire::BodyReader limited(cut);
  EXPECT_FALSE(limited.NextLong(&text, 9));
  EXPECT_TRUE(limited.OverLimit());
}

TEST(WireTest, FramePrefixesOutsideTheLimitsAreRefused) {
  using Check = wire::PrefixCheck;
  struct Case {
    std::uint32_t length;
    std::uint8_t flags;
    Check check;   // against the limit before a logon
    bool decoded;  // against the largest frame
  } cases[] = {
      {p::kHeaderSize, 0, Check::kOk, true},
      {p::kMaxFrameBeforeLogon, p::kFlagOneWay, Check::kOk, true},
      {p::kMaxFrameBeforeLogon + 1, 0, Check::kTooLarge, true},
      {p::kMaxFrameSize, p::kFlagOneWay, Check::kTooLarge, true},
      {p::kMaxFrameSize + 1, 0, Check::kTooLarge, false},
      {0xffffffff, 0, Check::kTooLarge, false},
      {p::kHeaderSize - 1, 0, Check::kInvalid, false},
      {100, 0x80, Check::kInvalid, false},
  };
  for (const Case& c : cases) {
    std::uint8_t bytes[p::kFramePrefixSize];
    wire::WriteInt32(bytes, static_cast<std::int32_t>(c.length));
    bytes[4] = c.flags;
    wire::FramePrefix out;
    EXPECT_EQ(wire::CheckFramePrefix(bytes, p::kMaxFrameBeforeLogon, &out), c.check) << c.length;
    if (c.check != Check::kInvalid) {
      EXPECT_EQ(out.length, c.length);
    }
    EXPECT_EQ(wire::DecodeFramePrefix(bytes, &out), c.decoded) << c.length;
  }
}

}  // namespace
}  // namespace hrztest
