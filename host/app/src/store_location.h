// Where the embedded store lives by default, and its creation on first start.
#pragma once

#include <string>

namespace hrzhost {

// The administrator's password of a store created on first start.
constexpr const char* kFirstStartAdminPassword = "admin";

// (XDG_DATA_HOME or ~/.local/share)/hrzuser/store.db
std::string DefaultStorePath();

// Creates the store at path with the sample organisation unless it exists (its folder
// too). False with a reason in *error when it cannot be created.
bool EnsureStore(const std::string& path, std::string* error);

}  // namespace hrzhost
