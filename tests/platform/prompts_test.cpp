#include <gtest/gtest.h>

#include <QCoreApplication>

#include <string>
#include <vector>

#include "platform_automation.h"
#include "platform_ui.h"

namespace hrz {
namespace {

class Recorder : public PlatformAutomation {
 public:
  int AnswerMessageBox(const MessageBoxCall& call) override {
    boxes.push_back(call);
    return answer;
  }
  bool AnswerFileDialog(const FileDialogCall& call, std::string* path) override {
    files.push_back(call);
    *path = chosen;
    return !chosen.empty();
  }
  bool AnswerShellOpen(const ShellOpenCall& call) override {
    opens.push_back(call);
    return true;
  }

  int answer = IDOK;
  std::string chosen;
  std::vector<MessageBoxCall> boxes;
  std::vector<FileDialogCall> files;
  std::vector<ShellOpenCall> opens;
};

class PromptsTest : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = SetPlatformAutomation(&recorder_); }
  void TearDown() override { SetPlatformAutomation(previous_); }
  Recorder recorder_;
  PlatformAutomation* previous_ = nullptr;
};

TEST_F(PromptsTest, MessageBoxesGoToTheAutomation) {
  recorder_.answer = IDNO;
  EXPECT_EQ(MessageBoxA(nullptr, "Delete it?", "Users", MB_YESNO | MB_ICONQUESTION), IDNO);
  EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_OK), IDNO);
  ASSERT_EQ(recorder_.boxes.size(), 2u);
  EXPECT_EQ(recorder_.boxes[0].text, "Delete it?");
  EXPECT_EQ(recorder_.boxes[0].caption, "Users");
  EXPECT_EQ(recorder_.boxes[0].type, MB_YESNO | MB_ICONQUESTION);
  EXPECT_EQ(recorder_.boxes[1].text, "");
}

TEST_F(PromptsTest, FileDialogsReceiveTheFilterAndStoreTheChoiceBounded) {
  char path[16] = "unchanged";
  OPENFILENAMEA request;
  request.lpstrFilter = "Bmp Files (*.bmp)\0*.bmp\0All Files (*.*)\0*.*\0\0";
  request.lpstrFile = path;
  request.nMaxFile = sizeof(path);
  request.Flags = OFN_FILEMUSTEXIST;
  recorder_.chosen = "/tmp/sign.bmp";
  EXPECT_TRUE(GetOpenFileNameA(&request));
  EXPECT_STREQ(path, "/tmp/sign.bmp");
  ASSERT_EQ(recorder_.files.size(), 1u);
  EXPECT_EQ(recorder_.files[0].filter, "Bmp Files (*.bmp)|*.bmp|All Files (*.*)|*.*");
  EXPECT_EQ(recorder_.files[0].flags, OFN_FILEMUSTEXIST);

  recorder_.chosen = "/a/path/longer/than/sixteen.bmp";
  EXPECT_FALSE(GetOpenFileNameA(&request)) << "a path that does not fit is refused";
  EXPECT_STREQ(path, "/tmp/sign.bmp");
  recorder_.chosen.clear();
  EXPECT_FALSE(GetOpenFileNameA(&request)) << "cancelled";
}

TEST_F(PromptsTest, ShellOpenKnowsOnlyOpen) {
  HINSTANCE opened = ShellExecuteA(nullptr, "open", "/tmp/x.dwg", nullptr, nullptr, SW_SHOWNORMAL);
  EXPECT_GT(reinterpret_cast<std::intptr_t>(opened), 32);
  ASSERT_EQ(recorder_.opens.size(), 1u);
  EXPECT_EQ(recorder_.opens[0].file, "/tmp/x.dwg");
  EXPECT_EQ(recorder_.opens[0].operation, "open");
  EXPECT_LE(reinterpret_cast<std::intptr_t>(
                ShellExecuteA(nullptr, "print", "/tmp/x.dwg", nullptr, nullptr, SW_SHOWNORMAL)),
            32);
  EXPECT_EQ(ShellExecuteA(nullptr, "open", nullptr, nullptr, nullptr, SW_SHOWNORMAL), nullptr);
  EXPECT_EQ(recorder_.opens.size(), 1u);
}

TEST(PromptsWithoutApplication, FailInsteadOfShowing) {
  ASSERT_EQ(QCoreApplication::instance(), nullptr);
  EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_OK), 0);
  char path[64];
  OPENFILENAMEA request;
  request.lpstrFile = path;
  request.nMaxFile = sizeof(path);
  EXPECT_FALSE(GetOpenFileNameA(&request));
  EXPECT_EQ(reinterpret_cast<std::intptr_t>(
                ShellExecuteA(nullptr, "open", "/no/such/file", nullptr, nullptr, SW_SHOWNORMAL)),
            2);
}

TEST(Cursor, WaitCoversTheApplicationUntilTheArrowReturns) {
  HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  ASSERT_NE(wait, nullptr);
  EXPECT_NE(wait, arrow);
  EXPECT_EQ(LoadCursorA(nullptr, 12345), nullptr);
  EXPECT_EQ(SetCursor(wait), arrow);
  EXPECT_EQ(SetCursor(arrow), wait);
}

}  // namespace
}  // namespace hrz
