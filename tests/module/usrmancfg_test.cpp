#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "entry/usrmancfg.h"

namespace hrz {
namespace {

namespace fs = std::filesystem;

class CfgFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("hrz_cfg_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& bytes) {
    fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
  }
  static std::string ReadFixture(const char* name) {
    std::ifstream in(std::string(HRZ_FIXTURES_DIR) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path dir_;
};

TEST_F(CfgFilesTest, PlainTextIsReturnedUnchanged) {
  for (const char* marker : {"//TEXT", "//text", "//TeXt"}) {
    std::string content = std::string(marker) + "\nA=1\n";
    int compressed = 7;
    auto text = LoadCfgFile(Write("plain.xcf", content).c_str(), &compressed);
    ASSERT_TRUE(text) << marker;
    EXPECT_EQ(std::string(text.get()), content);
    EXPECT_EQ(compressed, 0);
  }
}

TEST_F(CfgFilesTest, RawDeflateFromAnotherCompressorInflates) {
  int compressed = 0;
  auto text = LoadCfgFile(HRZ_FIXTURES_DIR "/logon_deflate.xcf", &compressed);
  ASSERT_TRUE(text);
  EXPECT_EQ(compressed, 1);
  EXPECT_EQ(std::string(text.get()), ReadFixture("logon_deflate.txt"));
}

TEST_F(CfgFilesTest, BadFilesAreRefusedWithNull) {
  const std::string deflated = ReadFixture("logon_deflate.xcf");
  // Raw DEFLATE carries no checksum, so only structural damage is detectable: block
  // type 3 is reserved.
  std::string badBlockType = deflated;
  badBlockType[0] = static_cast<char>(0xff);
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"empty", ""},
      {"truncated", deflated.substr(0, deflated.size() / 2)},
      {"one byte", deflated.substr(0, 1)},
      {"reserved block type", badBlockType},
      {"zlib header", std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8)},
      {"short marker", "//TEX"},
  };
  for (const auto& [label, bytes] : cases) {
    int compressed = -1;
    EXPECT_FALSE(LoadCfgFile(Write("bad.xcf", bytes).c_str(), &compressed)) << label;
  }
  EXPECT_FALSE(LoadCfgFile((dir_ / "missing.xcf").c_str(), nullptr));
  EXPECT_FALSE(LoadCfgFile(nullptr, nullptr));
}

TEST_F(CfgFilesTest, SizeLimitIsOneHundredMebibytes) {
  fs::path big = dir_ / "big.xcf";
  { std::ofstream(big, std::ios::binary) << "//TEXT\n"; }
  fs::resize_file(big, kCfgFileMaxBytes + 1);
  EXPECT_FALSE(LoadCfgFile(big.c_str(), nullptr));
  fs::resize_file(big, kCfgFileMaxBytes);
  auto text = LoadCfgFile(big.c_str(), nullptr);
  ASSERT_TRUE(text);
  EXPECT_EQ(CfgFileSize(big.c_str()), kCfgFileMaxBytes);
}

TEST_F(CfgFilesTest, LineReaderTakesNameValueLines) {
  const std::string text =
      "//TEXT\r\n"
      "\t  First = one  \r\n"
      "NoEquals\n"
      "=nothing before\n"
      "nothing after=\n"
      "blank after=   \t\n"
      "Second=two // comment = ignored\n"
      "   // whole comment line=x\n"
      "Third= a=b \r" +
      std::string(257, 'n') + "=too long name\n" + std::string(256, 'm') +
      "=longest name\n"
      "Value=" +
      std::string(1025, 'v') +
      "\n"
      "Max=" +
      std::string(1024, 'w') + "\n";
  std::vector<std::pair<std::string, std::string>> got;
  ForEachCfgLine(text, [&](std::string_view n, std::string_view v) {
    got.emplace_back(n, v);
    return true;
  });
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"First", "one"},
      {"Second", "two"},
      {"Third", "a=b"},
      {std::string(256, 'm'), "longest name"},
      {"Max", std::string(1024, 'w')},
  };
  EXPECT_EQ(got, expected);
}

TEST_F(CfgFilesTest, LineReaderStopsWhenAsked) {
  int seen = 0;
  ForEachCfgLine("a=1\nb=2\nc=3\n", [&](std::string_view, std::string_view) { return ++seen < 2; });
  EXPECT_EQ(seen, 2);
}

TEST_F(CfgFilesTest, LogonSettingsHonourPrefixesAndTheLastLine) {
  char server[512] = "stale", byMachine[512] = "stale";
  ReadLogonSettings(HRZ_FIXTURES_DIR "/logon_deflate.xcf", server, byMachine);
  EXPECT_STREQ(server, "alpha.example");
  EXPECT_STREQ(byMachine, "true");

  std::string path = Write("logon.xcf",
                           "//TEXT\n"
                           "LastServer=first\n"
                           "x, \tlastserver = second   // later line wins\n"
                           "a;b,ComputerNameLogon=false\n"
                           "OtherLastServer=ignored\n");
  ReadLogonSettings(path.c_str(), server, byMachine);
  EXPECT_STREQ(server, "second");
  EXPECT_STREQ(byMachine, "false") << "the part after the first comma is compared";

  std::string longValue = "LastServer=" + std::string(1000, 's') + "\n";
  ReadLogonSettings(Write("long.xcf", "//TEXT\n" + longValue).c_str(), server, byMachine);
  EXPECT_EQ(std::string(server), std::string(511, 's'));
  EXPECT_STREQ(byMachine, "");

  ReadLogonSettings((dir_ / "missing").c_str(), server, byMachine);
  EXPECT_STREQ(server, "");
  EXPECT_STREQ(byMachine, "");
}

TEST_F(CfgFilesTest, TempPathJoinsTheFileNameOnce) {
  const char* saved = std::getenv("TMPDIR");
  std::string savedValue = saved ? saved : "";
  for (std::string folder : {dir_.string(), dir_.string() + "/"}) {
    setenv("TMPDIR", folder.c_str(), 1);
    char out[260];
    EXPECT_EQ(TempPathOfFile(out, "C:\\server\\files\\kqflwlgn.xcf"), 0) << "does not exist yet";
    EXPECT_EQ(std::string(out), dir_.string() + "/kqflwlgn.xcf");
    Write("kqflwlgn.xcf", "");
    EXPECT_EQ(TempPathOfFile(out, "srv/kqflwlgn.xcf"), 0) << "empty";
    Write("kqflwlgn.xcf", "x");
    EXPECT_EQ(TempPathOfFile(nullptr, "kqflwlgn.xcf"), 1);
    fs::remove(dir_ / "kqflwlgn.xcf");
  }
  if (saved)
    setenv("TMPDIR", savedValue.c_str(), 1);
  else
    unsetenv("TMPDIR");
  EXPECT_EQ(CfgFileSize((dir_ / "none").c_str()), -1);
}

}  // namespace
}  // namespace hrz
