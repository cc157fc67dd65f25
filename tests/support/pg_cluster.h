// A throw-away PostgreSQL cluster in a temporary folder, reached on a Unix socket in that
// folder only (no TCP). When the tests run as root the cluster runs as "nobody", since
// PostgreSQL refuses to run as root.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/temp_dir.h"

namespace hrztest {

// The path of one of PostgreSQL's programs ("initdb", "pgbench"), where the cluster's are.
std::string PgProgram(const std::string& name);

class PgCluster {
 public:
  // The cluster of this test program, started on first use and stopped at exit. Null when it
  // cannot start, with the reason in why and installed telling whether PostgreSQL is there.
  static PgCluster* Shared(std::string* why, bool* installed);
  ~PgCluster();
  PgCluster(const PgCluster&) = delete;
  PgCluster& operator=(const PgCluster&) = delete;

  // The location of database as the cluster's superuser, optionally as role instead.
  std::string Location(const std::string& database, const std::string& role = "") const;
  // Creates a new empty database and gives its location; empty when it fails.
  std::string NewDatabase();

 private:
  PgCluster() = default;
  bool Start(std::string* why);

  TempDir dir_;
  bool running_ = false;
  int databases_ = 0;
};

// Sets location to a new empty database of the shared cluster for the running test, and
// cluster when asked; leaves location empty when the test is skipped (PostgreSQL is not
// installed; setup.sh installs it) or has failed. For fixtures that derive from another.
void NewTestDatabase(std::string* location, PgCluster** cluster = nullptr);

// A test on a new empty database of the shared cluster; skipped when PostgreSQL is not
// installed.
class PgTest : public ::testing::Test {
 protected:
  void SetUp() override;
  PgCluster* cluster_ = nullptr;
  std::string location_;
};

}  // namespace hrztest
