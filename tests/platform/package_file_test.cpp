// File packages: a file packed and unpacked comes back whole, and every fault of a package is
// refused without leaving a file behind; and the path split the module reads extensions with.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "package_file.h"
#include "platform.h"
#include "support/temp_dir.h"

namespace hrztest {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<none>";
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

TEST(PathSplit, GivesFolderNameAndExtensionWithoutTheDot) {
  struct Case {
    const char* path;
    const char* folder;
    const char* name;
    const char* extension;
  } cases[] = {
      {"sign/308/CBMPSG.bmp", "sign/308/", "CBMPSG", "bmp"},
      {"C:\\tmp\\a.b.xzp", "C:\\tmp\\", "a.b", "xzp"},
      {"plain", "", "plain", ""},
      {"dir.d/noext", "dir.d/", "noext", ""},
      {"/home/.profile", "/home/", ".profile", ""},
      {"trailing.", "", "trailing", ""},
      {"", "", "", ""},
  };
  for (const Case& c : cases) {
    char folder[MAX_PATH] = "x", name[MAX_PATH] = "x", extension[MAX_PATH] = "x";
    ASSERT_TRUE(PDSplitPathAndNameNoExtAndExt(c.path, folder, name, extension)) << c.path;
    EXPECT_STREQ(folder, c.folder) << c.path;
    EXPECT_STREQ(name, c.name) << c.path;
    EXPECT_STREQ(extension, c.extension) << c.path;
  }
  char extension[MAX_PATH] = "kept";
  EXPECT_TRUE(PDSplitPathAndNameNoExtAndExt("a.dwg", nullptr, nullptr, extension));
  EXPECT_STREQ(extension, "dwg");
  const std::string tooLong(MAX_PATH, 'a');
  std::strcpy(extension, "kept");
  EXPECT_FALSE(PDSplitPathAndNameNoExtAndExt(tooLong.c_str(), nullptr, nullptr, extension));
  EXPECT_STREQ(extension, "kept");
  EXPECT_FALSE(PDSplitPathAndNameNoExtAndExt(nullptr, nullptr, nullptr, extension));
}

TEST(PackageFile, UnpacksTheFileItHoldsWhole) {
  TempDir dir;
  std::string content;
  for (int i = 0; i < 200000; ++i) content.push_back(static_cast<char>(i * 31 % 251));
  WriteFile(dir.File("sign.dwg"), content);
  ASSERT_EQ(XPrdObjCtrl::PutFile(dir.File("sign.dwg").c_str(), dir.File("p.xzp").c_str()), 1);
  EXPECT_LT(fs::file_size(dir.File("p.xzp")), content.size()) << "the body is compressed";
  fs::create_directory(dir.File("out"));
  // Into the package's own folder, under the packed name, replacing what is there.
  fs::remove(dir.File("sign.dwg"));
  WriteFile(dir.File("sign.dwg"), "older");
  char path[MAX_PATH] = {};
  ASSERT_EQ(XPrdObjCtrl::GetFile(dir.File("p.xzp").c_str(), nullptr, nullptr, path, nullptr), 1);
  EXPECT_EQ(std::string(path), (fs::path(dir.Path()) / "sign.dwg").string());
  EXPECT_EQ(ReadFile(path), content);
  // Into another folder, under another name.
  ASSERT_EQ(XPrdObjCtrl::GetFile(dir.File("p.xzp").c_str(), "copy.dwg", dir.File("out").c_str(),
                                 path, nullptr),
            1);
  EXPECT_EQ(ReadFile(dir.File("out/copy.dwg")), content);
  // An empty file packs too.
  WriteFile(dir.File("empty.bmp"), "");
  ASSERT_EQ(XPrdObjCtrl::PutFile(dir.File("empty.bmp").c_str(), dir.File("e.xzp").c_str()), 1);
  ASSERT_EQ(XPrdObjCtrl::GetFile(dir.File("e.xzp").c_str(), "e2.bmp", nullptr, path, nullptr), 1);
  EXPECT_EQ(ReadFile(dir.File("e2.bmp")), "");
}

TEST(PackageFile, RefusesEveryFaultAndLeavesNoFile) {
  TempDir dir;
  WriteFile(dir.File("a.bmp"), std::string(3000, 'a'));
  ASSERT_EQ(XPrdObjCtrl::PutFile(dir.File("a.bmp").c_str(), dir.File("good.xzp").c_str()), 1);
  const std::string good = ReadFile(dir.File("good.xzp"));
  fs::remove(dir.File("a.bmp"));
  // good: "XZP1", 5, "a.bmp", the size (4 bytes), the stream.
  const std::size_t sizeAt = 4 + 1 + 5;
  auto withName = [&](const std::string& name) {
    return std::string("XZP1") + static_cast<char>(name.size()) + name + good.substr(sizeAt);
  };
  auto withSize = [&](std::uint32_t size) {
    std::string p = good;
    for (int i = 0; i < 4; ++i) p[sizeAt + i] = static_cast<char>((size >> (8 * i)) & 0xff);
    return p;
  };
  struct Case {
    const char* what;
    std::string package;
  } cases[] = {
      {"empty", ""},
      {"another magic", "XZP2" + good.substr(4)},
      {"cut in the name", good.substr(0, 7)},
      {"cut in the size", good.substr(0, sizeAt + 2)},
      {"cut in the stream", good.substr(0, good.size() - 3)},
      {"a folder in the name", withName("../a.bmp")},
      {"a backslash in the name", withName("x\\a.bmp")},
      {"dot-dot as the name", withName("..")},
      {"an empty name", withName("")},
      {"a size smaller than the content", withSize(2999)},
      {"a size larger than the content", withSize(3001)},
      {"a size beyond the limit", withSize(0xffffffffu)},
      {"garbage for a stream", good.substr(0, sizeAt + 4) + std::string(40, '\x07')},
  };
  for (const Case& c : cases) {
    WriteFile(dir.File("bad.xzp"), c.package);
    char path[MAX_PATH] = "untouched";
    EXPECT_EQ(XPrdObjCtrl::GetFile(dir.File("bad.xzp").c_str(), nullptr, nullptr, path, nullptr), 0)
        << c.what;
    EXPECT_STREQ(path, "untouched") << c.what;
    EXPECT_FALSE(fs::exists(dir.File("a.bmp"))) << c.what;
  }
  std::size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir.Path())) {
    files += entry.is_regular_file() ? 1 : 0;
  }
  EXPECT_EQ(files, 2u) << "good.xzp and bad.xzp only: no partial file";
  EXPECT_EQ(XPrdObjCtrl::GetFile(dir.File("none.xzp").c_str(), nullptr, nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(XPrdObjCtrl::PutFile(dir.File("none.bin").c_str(), dir.File("n.xzp").c_str()), 0);
  EXPECT_FALSE(fs::exists(dir.File("n.xzp")));
}

}  // namespace
}  // namespace hrztest
