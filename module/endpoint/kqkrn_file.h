// The kernel policy file "kqkrn.xcf". It lies beside the module; the module reads a copy
// in the temporary folder, into which the application tree also writes its options back.
#pragma once

#include <string>
#include <string_view>

namespace hrz {

class SectionResource;

constexpr const char* kKrnPolicyFile = "kqkrn.xcf";

// The policy file beside moduleFile (its path cut after the last "\" or "/").
std::string KrnPolicySource(std::string_view moduleFile);

// Copies the policy file beside moduleFile over the temporary folder's copy and loads that
// copy (plain or compressed) into policy. False, with policy empty, when the file cannot be
// copied or loaded. copyPath (may be null) receives the copy's path either way.
bool LoadKrnPolicy(const char* moduleFile, SectionResource* policy, std::string* copyPath);

}  // namespace hrz
