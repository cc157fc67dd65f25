// The unit file passes "systemd-analyze verify" (directives, sections, the command line),
// with its program pointed at the one just built. Skipped where systemd's tools are missing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "support/temp_dir.h"

namespace {

TEST(ServerUnit, SystemdFindsNothingWrongWithIt) {
  if (std::system("command -v systemd-analyze >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "systemd-analyze is not installed";
  }
  std::ifstream in(HRZ_UNIT_FILE);
  std::stringstream text;
  text << in.rdbuf();
  std::string unit = text.str();
  const std::string installed = "/usr/local/bin/hrzserver";
  const std::size_t at = unit.find("ExecStart=" + installed + " serve ");
  ASSERT_NE(at, std::string::npos) << "the unit runs the installed hrzserver serve";
  unit.replace(at + 10, installed.size(), HRZSERVER_PATH);
  hrztest::TempDir dir;
  const std::string path = dir.File("hrzserver.service");
  std::ofstream(path) << unit;
  const std::string command = "systemd-analyze verify " + path + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string said;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) said += buffer;
  const int status = pclose(pipe);
  EXPECT_EQ(status, 0) << said;
  EXPECT_EQ(said, "") << "every directive is known and every value taken";
}

}  // namespace
