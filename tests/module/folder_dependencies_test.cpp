// The module's folders depend one way: the entry knows the command table and nothing of any
// dialog, and no folder reaches back to one that includes it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>

namespace hrz {
namespace {

namespace fs = std::filesystem;
using Dependencies = std::map<std::string, std::set<std::string>>;

// For each folder of the module, the other module folders its files include.
Dependencies FolderIncludes(const fs::path& module) {
  const std::regex include(R"re(^\s*#\s*include\s*"([A-Za-z_]+)/)re");
  Dependencies found;
  for (const fs::directory_entry& folder : fs::directory_iterator(module)) {
    if (!folder.is_directory()) continue;
    const std::string name = folder.path().filename().string();
    found[name];
    for (const fs::directory_entry& file : fs::recursive_directory_iterator(folder.path())) {
      const std::string ext = file.path().extension().string();
      if (ext != ".cpp" && ext != ".h") continue;
      std::ifstream in(file.path());
      std::string line;
      std::smatch match;
      while (std::getline(in, line)) {
        if (std::regex_search(line, match, include) && match[1] != name &&
            fs::is_directory(module / match[1].str())) {
          found[name].insert(match[1]);
        }
      }
    }
  }
  return found;
}

// Every folder a folder reaches through includes, itself only through a cycle.
std::set<std::string> Reachable(const Dependencies& deps, const std::string& from) {
  std::set<std::string> seen;
  std::vector<std::string> todo(deps.at(from).begin(), deps.at(from).end());
  while (!todo.empty()) {
    const std::string next = todo.back();
    todo.pop_back();
    if (!seen.insert(next).second) continue;
    if (auto it = deps.find(next); it != deps.end())
      todo.insert(todo.end(), it->second.begin(), it->second.end());
  }
  return seen;
}

TEST(ModuleFolders, EntryIncludesNoDialogAndNoFolderIncludesItsOwnIncluders) {
  const Dependencies deps = FolderIncludes(HRZ_MODULE_DIR);
  ASSERT_TRUE(deps.count("entry"));
  ASSERT_TRUE(deps.count("passwords"));
  for (const std::string& used : deps.at("entry")) {
    EXPECT_TRUE(used == "support" || used == "resources") << "entry includes " << used;
  }
  // The password dialogs do use the entry's requests and texts: the check sees includes.
  EXPECT_TRUE(deps.at("passwords").count("entry"));
  for (const auto& [folder, uses] : deps) {
    EXPECT_FALSE(Reachable(deps, folder).count(folder)) << folder << " includes itself in a cycle";
  }
}

}  // namespace
}  // namespace hrz
