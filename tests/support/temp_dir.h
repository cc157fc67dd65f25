// A new folder under the system's temporary folder, removed with everything in it when the
// object goes.
#pragma once

#include <string>

namespace hrztest {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // The path of name inside the folder; nothing is created.
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace hrztest
