// A large generated organisation: departments several levels deep under the root and users
// that each hang in one to three departments. Deterministic for a given size.
#pragma once

#include <string>

namespace hrzbench {

struct LargeOrgSize {
  int users = 100000;
  // Departments per level below the root; 2,000 in all by default.
  int levels[4] = {10, 50, 300, 1640};
};

struct LargeOrgCounts {
  int departments = 0;
  int users = 0;
  int links = 0;
  int firstUserNid = 0;
};

// Creates a store at path (administrator password adminPassword) and fills it. False with
// a reason on failure.
bool CreateLargeOrg(const std::string& path, const char* adminPassword, const LargeOrgSize& size,
                    LargeOrgCounts* counts, std::string* error);

}  // namespace hrzbench
