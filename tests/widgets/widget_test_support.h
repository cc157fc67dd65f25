// Shared fixtures of the widget tests: a headless application and a fresh copy of the
// sample store, logged on as the administrator.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "db/db_test_support.h"
#include "xclidb.h"

namespace hrztest {

// The one application object of the test program.
void EnsureApplication();

class SampleStoreTest : public ::testing::Test {
 protected:
  void SetUp() override;
  tagXCliDB* db() const { return db_.get(); }
  // Runs SQL on the store as the administrator; fails the test when it fails.
  void Exec(const std::string& sql);

  TempDir dir_;
  Connection db_;
};

}  // namespace hrztest
