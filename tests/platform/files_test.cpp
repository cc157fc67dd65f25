#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform.h"

namespace fs = std::filesystem;

namespace {

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("hrz_files_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "sub.dwg");
    Write("a.DWG", "one");
    Write("b.dwg", "twotwo");
    Write("c.bmp", "x");
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name) << text;
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  std::vector<std::string> Find(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(Path(pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    EXPECT_TRUE(FindClose(search));
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
};

TEST_F(FilesTest, SearchMatchesNamesWithoutRegardToCase) {
  EXPECT_EQ(Find("*.dwg"), (std::vector<std::string>{"a.DWG", "b.dwg", "sub.dwg"}));
  EXPECT_EQ(Find("?.bmp"), std::vector<std::string>{"c.bmp"});
  EXPECT_TRUE(Find("*.txt").empty());
  EXPECT_EQ(Find("*").size(), 4u) << "never . or ..";
}

TEST_F(FilesTest, SearchReportsKindAndSize) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(Path("b.dwg").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(found.nFileSizeLow, 6u);
  EXPECT_EQ(found.dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
  EXPECT_FALSE(FindNextFileA(search, &found));
  FindClose(search);
  search = FindFirstFileA(Path("sub.*").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(found.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
  FindClose(search);
}

TEST_F(FilesTest, SearchOfAMissingFolderFails) {
  WIN32_FIND_DATAA found;
  EXPECT_EQ(FindFirstFileA(Path("none/*").c_str(), &found), INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirstFileA(nullptr, &found), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(FindNextFileA(INVALID_HANDLE_VALUE, &found));
  EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
}

TEST_F(FilesTest, CopyHonoursFailIfExists) {
  EXPECT_TRUE(CopyFileA(Path("a.DWG").c_str(), Path("copy").c_str(), TRUE));
  std::ifstream copy(Path("copy"));
  std::string text((std::istreambuf_iterator<char>(copy)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "one");
  EXPECT_FALSE(CopyFileA(Path("b.dwg").c_str(), Path("copy").c_str(), TRUE));
  EXPECT_EQ(fs::file_size(Path("copy")), 3u) << "the existing target is left alone";
  EXPECT_TRUE(CopyFileA(Path("b.dwg").c_str(), Path("copy").c_str(), FALSE));
  EXPECT_EQ(fs::file_size(Path("copy")), 6u);
  EXPECT_FALSE(CopyFileA(Path("missing").c_str(), Path("copy2").c_str(), FALSE));
  EXPECT_FALSE(CopyFileA(Path("sub.dwg").c_str(), Path("copy2").c_str(), FALSE));
  EXPECT_FALSE(fs::exists(Path("copy2")));
}

TEST_F(FilesTest, DeleteRemovesFilesOnly) {
  EXPECT_TRUE(DeleteFileA(Path("c.bmp").c_str()));
  EXPECT_FALSE(fs::exists(Path("c.bmp")));
  EXPECT_FALSE(DeleteFileA(Path("c.bmp").c_str()));
  EXPECT_FALSE(DeleteFileA(Path("sub.dwg").c_str()));
  EXPECT_TRUE(fs::exists(Path("sub.dwg")));
}

TEST(ModuleFileName, NamesTheExecutableAndLoadedLibraries) {
  char buffer[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof(buffer));
  ASSERT_GT(length, 0u);
  EXPECT_EQ(fs::path(buffer).filename(), "platform_tests");
  EXPECT_EQ(fs::canonical(buffer), fs::canonical("/proc/self/exe"));

  char small[8];
  EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof(small)), sizeof(small));
  EXPECT_EQ(std::string(small), std::string(buffer).substr(0, 7)) << "cut and terminated";
  EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(0x10), buffer, sizeof(buffer)), 0u)
      << "no object is loaded there";

  // A shared library is named by its load address, as a module names itself.
  Dl_info info{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&GetModuleFileNameA), &info), 0);
  ASSERT_GT(GetModuleFileNameA(static_cast<HMODULE>(info.dli_fbase), buffer, sizeof(buffer)), 0u);
  EXPECT_EQ(fs::path(buffer).filename(), "libhrz_platform.so");
}

TEST(TempPath, EndsInASlash) {
  char buffer[MAX_PATH];
  ASSERT_GT(GetTempPathA(sizeof(buffer), buffer), 0u);
  EXPECT_EQ(std::string(buffer).back(), '/');
}

}  // namespace
