#include "widgets/widget_test_support.h"

#include <QApplication>

namespace hrztest {

void EnsureApplication() {
  // Headless unless the caller chose a platform: test discovery runs without CTest's
  // environment.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "widget_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app =
      QApplication::instance() != nullptr ? nullptr : new QApplication(argc, argv);
  (void)app;
}

void SampleStoreTest::SetUp() {
  EnsureApplication();
  std::string path = dir_.File("store.db");
  CopySampleStore(path);
  char error[256] = {};
  db_.reset(XCliDB_Open(path.c_str(), error, sizeof error));
  ASSERT_TRUE(db_) << error;
  int status = 0;
  ASSERT_EQ(XCliDB_Logon(db(), "adm", kAdminPassword, 260101, &status, nullptr, 0), 1)
      << "status " << status;
}

void SampleStoreTest::Exec(const std::string& sql) {
  ASSERT_EQ(XCliDB_ExecuteSQL(db(), sql.c_str(), 0, 0), 1) << sql;
}

}  // namespace hrztest

namespace {
// Fixtures hold widgets as members, built before SetUp runs: the application must exist
// before the first test starts.
const bool kApplicationReady = (hrztest::EnsureApplication(), true);
}  // namespace
