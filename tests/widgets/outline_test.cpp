// The outline script parser and the host layouts written in it.
#include "outline_script.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "grid_configs.h"
#include "layouts.h"

namespace {

using hrz::ui::OutlineItem;
using hrz::ui::ParseOutline;

TEST(OutlineTest, BuildsTheTreeFromLevelNumbers) {
  auto parsed = ParseOutline(
      "1, object, UUSR, UUSR\r\n"
      "# a comment\r\n"
      "1.1, control, edit, CCODE\r\n"
      "1.1.1, Top   Bottom, 20, CNAME\r\n"
      "\r\n"
      "1.1.1, value, a, b ,c\r\n"
      "1.1, control, button, XNEWCODE\r\n"
      "2, object, other\n");
  ASSERT_EQ(parsed.errorLine, 0) << parsed.error;
  ASSERT_EQ(parsed.items.size(), 2u);
  const OutlineItem& object = parsed.items[0];
  EXPECT_EQ(object.args, (std::vector<std::string>{"UUSR", "UUSR"}));
  ASSERT_EQ(object.children.size(), 2u);
  const OutlineItem& code = object.children[0];
  EXPECT_EQ(code.args, (std::vector<std::string>{"edit", "CCODE"}));
  ASSERT_EQ(code.children.size(), 2u);
  EXPECT_EQ(code.children[0].keyword, "top bottom");
  EXPECT_EQ(code.children[0].args, (std::vector<std::string>{"20", "CNAME"}));
  EXPECT_EQ(code.ChildArg("value"), "a, b ,c");  // display texts keep their commas
  EXPECT_EQ(code.ChildArg("label", "none"), "none");
  EXPECT_EQ(object.children[1].args[1], "XNEWCODE");
}

TEST(OutlineTest, ReportsTheFirstBadLine) {
  struct Case {
    const char* script;
    int line;
  };
  const Case cases[] = {{"1.1, control, edit, X\n", 1},         // no parent
                        {"1, object, a\n1.1.1, visible\n", 2},  // skips a level
                        {"1, object, a\nx, control\n", 2},      // no level number
                        {"1., object, a\n", 1},
                        {"1..1, object, a\n", 1},
                        {"1, , a\n", 1},  // empty keyword
                        {"1\n", 1}};      // no keyword
  for (const Case& c : cases) {
    auto parsed = ParseOutline(c.script);
    EXPECT_EQ(parsed.errorLine, c.line) << c.script;
    EXPECT_FALSE(parsed.error.empty()) << c.script;
  }
}

TEST(OutlineTest, EveryHostScriptParses) {
  for (const char* name : {"UUSR", "UUSR New", "UDEPT", "UDEPT New", "UROLE", "UROLE New"}) {
    const char* script = hrzcfg::LayoutScript(name);
    ASSERT_NE(script, nullptr) << name;
    auto parsed = ParseOutline(script);
    EXPECT_EQ(parsed.errorLine, 0) << name << ": " << parsed.error;
  }
  for (const char* name :
       {"User Search Result", "User Stat Result", "Func Pvg Grid", "SetupInfo Grid"}) {
    const char* script = hrzcfg::GridConfigScript(name);
    ASSERT_NE(script, nullptr) << name;
    EXPECT_EQ(ParseOutline(script).errorLine, 0) << name;
  }
  EXPECT_EQ(hrzcfg::LayoutScript("uusr new"), hrzcfg::LayoutScript("UUSR New"));
  EXPECT_EQ(hrzcfg::LayoutScript("UUSR Ne"), nullptr);
}

}  // namespace
