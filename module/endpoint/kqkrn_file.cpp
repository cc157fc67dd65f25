#include "endpoint/kqkrn_file.h"

#include <memory>

#include "entry/usrmancfg.h"
#include "platform.h"
#include "support/section_resource.h"

namespace hrz {

std::string KrnPolicySource(std::string_view moduleFile) {
  const std::size_t slash = moduleFile.find_last_of("\\/");
  const std::string_view folder =
      slash == std::string_view::npos ? std::string_view() : moduleFile.substr(0, slash + 1);
  return std::string(folder) + kKrnPolicyFile;
}

bool LoadKrnPolicy(const char* moduleFile, SectionResource* policy, std::string* copyPath) {
  policy->Clear();
  char target[MAX_PATH] = {};
  TempPathOfFile(target, kKrnPolicyFile);
  if (copyPath != nullptr) *copyPath = target;
  if (moduleFile == nullptr || target[0] == '\0' ||
      !CopyFileA(KrnPolicySource(moduleFile).c_str(), target, FALSE) ||
      !TempPathOfFile(nullptr, kKrnPolicyFile)) {
    return false;
  }
  std::unique_ptr<char[]> text = LoadCfgFile(target, nullptr);
  if (!text) return false;
  policy->Load(text.get());
  return true;
}

}  // namespace hrz
