// The result-set payload: what the server writes, the client reads back whole, and nothing
// malformed is read or allocated for.
#include <gtest/gtest.h>

#include <string>

#include "hrzcommon/result_set.h"

namespace hrztest {
namespace {

namespace p = hrz::protocol;
namespace wire = hrz::wire;
using namespace std::string_literals;

std::string U32(std::uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}

TEST(ResultSetTest, WhatTheWriterBuildsReadsBackCellByCell) {
  wire::ResultSetWriter writer;
  writer.AddColumn("CCODE");
  writer.AddColumn("");
  writer.AddCell(p::kCellText, "o'brien");
  writer.AddCell(p::kCellNull, "");
  writer.EndRow();
  writer.AddCell(p::kCellInteger, "-7");
  writer.AddCell(p::kCellBlob, "a\0b"s);
  writer.EndRow();
  const std::string payload = writer.Finish();
  // The layout byte by byte: counts and lengths are 32-bit little-endian.
  EXPECT_EQ(payload, U32(2) + U32(5) + "CCODE" + U32(0) + U32(2) + "\3"s + U32(7) + "o'brien" +
                         "\0"s + U32(0) + "\1"s + U32(2) + "-7" + "\4"s + U32(3) + "a\0b"s);
  EXPECT_EQ(writer.RowBytes(), payload.size() - 21);  // all but counts and names

  wire::ResultSet set;
  ASSERT_TRUE(wire::DecodeResultSet(payload, &set));
  EXPECT_EQ(set.names, (std::vector<std::string>{"CCODE", ""}));
  ASSERT_EQ(set.RowCount(), 2u);
  EXPECT_EQ(set.Cell(0, 0).type, p::kCellText);
  EXPECT_EQ(set.Text(set.Cell(0, 0)), "o'brien");
  EXPECT_EQ(set.Cell(0, 1).type, p::kCellNull);
  EXPECT_EQ(set.Text(set.Cell(1, 0)), "-7");
  EXPECT_EQ(set.Cell(1, 1).type, p::kCellBlob);
  EXPECT_EQ(set.Text(set.Cell(1, 1)), "a\0b"s);
}

TEST(ResultSetTest, EmptyResultsReadBack) {
  wire::ResultSetWriter columnsOnly;
  columnsOnly.AddColumn("NID");
  wire::ResultSet set;
  ASSERT_TRUE(wire::DecodeResultSet(columnsOnly.Finish(), &set));
  EXPECT_EQ(set.names.size(), 1u);
  EXPECT_EQ(set.RowCount(), 0u);
  ASSERT_TRUE(wire::DecodeResultSet(wire::ResultSetWriter().Finish(), &set));
  EXPECT_TRUE(set.names.empty());
}

TEST(ResultSetTest, MalformedPayloadsAreRefused) {
  const std::string oneColumn = U32(1) + U32(1) + "N";
  const struct {
    std::string payload;
    const char* why;
  } cases[] = {
      {"", "no column count"},
      {U32(1), "a column without its name"},
      {U32(1) + U32(9) + "N", "a name longer than the bytes"},
      {oneColumn, "no row count"},
      {oneColumn + U32(1), "a row without its cell"},
      {oneColumn + U32(1) + "\5"s + U32(0), "an unknown cell type"},
      {oneColumn + U32(1) + "\3"s + U32(4) + "ab", "a cell longer than the bytes"},
      {oneColumn + U32(0) + "x", "bytes after the last row"},
      {oneColumn + U32(0xffffffff), "more rows than the bytes could hold"},
      {U32(0xffffffff), "more columns than the bytes could hold"},
      {U32(0) + U32(0xffffffff), "rows without columns"},
  };
  for (const auto& c : cases) {
    wire::ResultSet set;
    EXPECT_FALSE(wire::DecodeResultSet(c.payload, &set)) << c.why;
  }
}

}  // namespace
}  // namespace hrztest
