// The kernel policy file: the sample installed beside the module, copied into the temporary
// folder and loaded, plain or compressed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "endpoint/kqkrn_file.h"
#include "hrzcommon/cfg_file.h"
#include "support/section_resource.h"
#include "support/temp_dir.h"

namespace hrz {
namespace {

// The temporary folder of the platform calls, a fresh one for each test.
class KrnPolicyFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("TMPDIR", temp_.Path().c_str(), 1); }
  void TearDown() override { ::unsetenv("TMPDIR"); }

  hrztest::TempDir temp_;
  hrztest::TempDir moduleFolder_;
};

std::string Category(const std::string& value) {
  const std::size_t bar = value.find('|');
  return bar == std::string::npos ? "" : value.substr(bar + 1);
}

TEST_F(KrnPolicyFileTest, SampleBesideTheModuleHasKernelAndApplicationsInCategories) {
  SectionResource policy;
  std::string copy;
  ASSERT_TRUE(LoadKrnPolicy(HRZ_MODULE_FILE, &policy, &copy));
  EXPECT_EQ(copy, temp_.File("kqkrn.xcf"));
  EXPECT_TRUE(std::filesystem::exists(copy));
  ASSERT_NE(policy.Find("Kernel", "Kernel Name"), nullptr);
  EXPECT_FALSE(policy.Find("Kernel", "Kernel Name")->empty());
  for (const char* option : {"Stop Screen", "Print Log", "USB"}) {
    EXPECT_NE(policy.Find("Kernel", option), nullptr) << option;
  }
  std::set<std::string> categories;
  for (const char* section : {"App", "UserApp"}) {
    ASSERT_GT(policy.EntryCount(section), 1) << section;
    for (int i = 0; i < policy.EntryCount(section); ++i) {
      categories.insert(Category(policy.EntryAt(section, i)->value));
    }
  }
  EXPECT_GE(categories.size(), 4u) << "named categories, none and an empty one";
  EXPECT_TRUE(categories.count(""));
}

TEST_F(KrnPolicyFileTest, CompressedPolicyLoadsAndReplacesAnOldCopy) {
  const std::string module = moduleFolder_.File("libhrzuser.so");
  ASSERT_TRUE(SaveCfgText(moduleFolder_.File("kqkrn.xcf").c_str(),
                          "//TEXT\n1, Kernel\n1.1, Kernel Name, Packed\n", true));
  ASSERT_TRUE(SaveCfgText(temp_.File("kqkrn.xcf").c_str(), "//TEXT\n1, Old\n", false));
  SectionResource policy;
  ASSERT_TRUE(LoadKrnPolicy(module.c_str(), &policy, nullptr));
  ASSERT_NE(policy.Find("Kernel", "Kernel Name"), nullptr);
  EXPECT_EQ(*policy.Find("Kernel", "Kernel Name"), "Packed");
  EXPECT_EQ(policy.EntryCount("Old"), 0);
  EXPECT_EQ(policy.SectionCount(), 1);
}

TEST_F(KrnPolicyFileTest, MissingOrBrokenPolicyLeavesNothing) {
  const std::string module = moduleFolder_.File("libhrzuser.so");
  SectionResource policy;
  policy.Load("1, Stale\n");
  EXPECT_FALSE(LoadKrnPolicy(module.c_str(), &policy, nullptr)) << "no file beside the module";
  EXPECT_EQ(policy.SectionCount(), 0);

  std::FILE* broken = std::fopen(moduleFolder_.File("kqkrn.xcf").c_str(), "wb");
  std::fputs("not deflate, not //TEXT", broken);
  std::fclose(broken);
  policy.Load("1, Stale\n");
  EXPECT_FALSE(LoadKrnPolicy(module.c_str(), &policy, nullptr)) << "neither plain nor compressed";
  EXPECT_EQ(policy.SectionCount(), 0);
}

TEST(KrnPolicyFile, SourceLiesInTheModulesFolder) {
  EXPECT_EQ(KrnPolicySource("/opt/hrz/lib/libhrzuser.so"), "/opt/hrz/lib/kqkrn.xcf");
  EXPECT_EQ(KrnPolicySource("C:\\hrz\\hrzuser.dll"), "C:\\hrz\\kqkrn.xcf");
  EXPECT_EQ(KrnPolicySource("libhrzuser.so"), "kqkrn.xcf");
}

}  // namespace
}  // namespace hrz
