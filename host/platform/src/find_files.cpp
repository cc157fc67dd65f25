#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "platform.h"

namespace {

struct FileSearch {
  DIR* dir = nullptr;
  std::string folder;   // ends in "/"
  std::string pattern;  // the name part
};

bool Fill(const std::string& folder, const char* name, WIN32_FIND_DATAA* found) {
  std::string path = folder + name;
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return false;
  if (std::strlen(name) >= sizeof(found->cFileName)) return false;
  *found = WIN32_FIND_DATAA{};
  std::memcpy(found->cFileName, name, std::strlen(name) + 1);
  found->dwFileAttributes =
      S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  auto size = static_cast<std::uint64_t>(info.st_size);
  found->nFileSizeLow = static_cast<DWORD>(size & 0xffffffffu);
  found->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  return true;
}

bool Advance(FileSearch& search, WIN32_FIND_DATAA* found) {
  while (dirent* entry = readdir(search.dir)) {
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    if (fnmatch(search.pattern.c_str(), name, FNM_CASEFOLD) != 0) continue;
    if (Fill(search.folder, name, found)) return true;
  }
  return false;
}

}  // namespace

HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* found) {
  if (pattern == nullptr || found == nullptr || *pattern == '\0') return INVALID_HANDLE_VALUE;
  std::string text = pattern;
  std::size_t slash = text.find_last_of("/\\");
  auto* search = new FileSearch;
  search->folder = slash == std::string::npos ? "./" : text.substr(0, slash + 1);
  search->pattern = slash == std::string::npos ? text : text.substr(slash + 1);
  search->dir = opendir(search->folder.c_str());
  if (search->dir != nullptr && Advance(*search, found)) return search;
  FindClose(search);
  return INVALID_HANDLE_VALUE;
}

BOOL FindNextFileA(HANDLE handle, WIN32_FIND_DATAA* found) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || found == nullptr) return FALSE;
  return Advance(*static_cast<FileSearch*>(handle), found) ? TRUE : FALSE;
}

BOOL FindClose(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return FALSE;
  auto* search = static_cast<FileSearch*>(handle);
  if (search->dir != nullptr) closedir(search->dir);
  delete search;
  return TRUE;
}
