// The editor of a user's decrypt-flow applications: the free-text dialog when the host's
// text "kqflow" / "dec ext" is "true", otherwise the tree of the policy file's applications.
#pragma once

#include <string>

class CWnd;

namespace hrz {

// Runs the editor for user nid; true (result holding the stored text) when it stored one.
bool EditDecryptFlow(CWnd* parent, int nid, std::string* result);

}  // namespace hrz
