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

// The whole content of a file; empty when it cannot be read.
std::string ReadFileText(const std::string& path);

}  // namespace hrztest
