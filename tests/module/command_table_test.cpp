#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "entry/command_table.h"
#include "entry/hrzuser.h"
#include "entry/module_state.h"
#include "extension_module.h"

namespace hrz {
namespace {

class CommandEntryTest : public ::testing::Test {
 protected:
  void SetUp() override { Module() = ModuleState{}; }
  void TearDown() override { Module() = ModuleState{}; }
};

TEST_F(CommandEntryTest, ResolvesEveryNameWithoutRegardToCase) {
  struct Case {
    const char* name;
    CommandFunc expected;
  };
  const Case cases[] = {
      {"XCHGPWD", CmdChangePassword},
      {"xchgpwd", CmdChangePassword},
      {"XchgPwd", CmdChangePassword},
      {"XCHGEXPIREDPWD", CmdChangeExpiredPassword},
      {"XUSRMAN", CmdUserManager},
      {"xroleman", CmdUserManager},
      {"XUSERS_STAT", CmdUserStatistics},
      {"XUSRFUNC", CmdFunctionPrivileges},
      {"KQFLOWUSER", CmdFunctionPrivileges},
      {"kqwfuser", CmdFunctionPrivileges},
      {"XPRFLWCHK", CmdFunctionPrivileges},
      {"XUSRINFO", CmdUserInfo},
      {"XSELUSER", CmdSelectUser},
      {"XVIEWSIGN", CmdViewSignatures},
      {"XCHGPWD ", nullptr},
      {"XCHG", nullptr},
      {"", nullptr},
      {"NOSUCHCMD", nullptr},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ResolveCommand(c.name), c.expected) << "name: '" << c.name << "'";
  }
  EXPECT_EQ(ResolveCommand(nullptr), nullptr);
}

TEST_F(CommandEntryTest, TableHoldsTheTwelveCommandsInOrder) {
  const char* expected[] = {"XCHGPWD",     "XCHGEXPIREDPWD", "XUSRMAN",    "XROLEMAN",
                            "XUSERS_STAT", "XUSRFUNC",       "KQFLOWUSER", "KQWFUSER",
                            "XPRFLWCHK",   "XUSRINFO",       "XSELUSER",   "XVIEWSIGN"};
  auto table = CommandTable();
  ASSERT_EQ(table.size(), std::size(expected));
  for (std::size_t i = 0; i < table.size(); ++i) EXPECT_STREQ(table[i].name, expected[i]);
}

TEST_F(CommandEntryTest, CaptureTakesExactlyTheNextNamedCall) {
  Module().captureFlag = 1;
  EXPECT_EQ(ResolveCommand(nullptr), nullptr) << "a null name is not captured";
  EXPECT_EQ(Module().captureFlag, 1);
  EXPECT_EQ(ResolveCommand("XCHGPWD"), CmdAddFunctionPrivilege) << "table names are captured too";
  EXPECT_EQ(Module().captureFlag, 0);
  EXPECT_EQ(ResolveCommand("XCHGPWD"), CmdChangePassword) << "the call after runs normally";

  Module().captureFlag = 1;
  EXPECT_EQ(ResolveCommand("HOSTOWNCMD"), CmdAddFunctionPrivilege);
  EXPECT_EQ(ResolveCommand("HOSTOWNCMD"), nullptr);
}

TEST_F(CommandEntryTest, InitialiseKeepsConnectionAndHostRecord) {
  tagHRZLib lib;
  int fakeConnection = 0;
  void* params[3] = {reinterpret_cast<void*>(0x1), &fakeConnection, &lib};
  EXPECT_EQ(HRZCmd(kCodeInitialise, nullptr, params, nullptr), 1);
  EXPECT_EQ(static_cast<void*>(Module().db), &fakeConnection);
  EXPECT_EQ(Module().lib, &lib);

  void* nulls[3] = {nullptr, nullptr, nullptr};
  EXPECT_EQ(HRZCmd(kCodeInitialise, "ignored", nulls, nullptr), 1);
  EXPECT_EQ(Module().db, nullptr);
  EXPECT_EQ(Module().lib, nullptr);
}

TEST_F(CommandEntryTest, ResultsOfRunCommand) {
  EXPECT_EQ(HRZCmd(kCodeRunCommand, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(HRZCmd(kCodeRunCommand, "NOSUCHCMD", nullptr, nullptr), 1);
  EXPECT_EQ(HRZCmd(7, "XSELUSER", nullptr, nullptr), 1) << "unknown codes do nothing";
  std::string tooLong(128, 'U');  // a kind list one character over: nothing opens
  EXPECT_EQ(HRZCmd(kCodeRunCommand, "xseluser", nullptr, tooLong.data()), -1);
  EXPECT_EQ(tooLong, std::string(128, 'U')) << "the text is never written";
}

TEST_F(CommandEntryTest, ExpiredPasswordCommandEmptiesTheBufferWhenNotChanged) {
  char out[16] = "stale";
  EXPECT_EQ(HRZCmd(kCodeRunCommand, "XCHGEXPIREDPWD", nullptr, out), 1);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(HRZCmd(kCodeRunCommand, "XCHGEXPIREDPWD", nullptr, nullptr), 1);
}

TEST_F(CommandEntryTest, CommandRestoresTheResourceHandle) {
  auto* host = reinterpret_cast<HINSTANCE>(0x1000);
  Module().instance = reinterpret_cast<HINSTANCE>(0x2000);
  AfxSetResourceHandle(host);
  HRZCmd(kCodeRunCommand, "XUSRMAN", nullptr, nullptr);
  EXPECT_EQ(AfxGetResourceHandle(), host);
  AfxSetResourceHandle(nullptr);
}

TEST_F(CommandEntryTest, AttachRegistersAndDetachUnregisters) {
  auto* instance = reinterpret_cast<HINSTANCE>(0x3000);
  ASSERT_TRUE(ModuleAttach(instance));
  EXPECT_TRUE(AfxIsExtensionModuleRegistered(instance));
  EXPECT_EQ(Module().instance, instance);
  EXPECT_EQ(AfxGetResourceHandle(), nullptr) << "the previous handle is restored";
  ModuleDetach();
  EXPECT_FALSE(AfxIsExtensionModuleRegistered(instance));
  EXPECT_FALSE(ModuleAttach(nullptr)) << "a module without a handle cannot register";
}

}  // namespace
}  // namespace hrz
