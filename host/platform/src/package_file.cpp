#include "package_file.h"

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>

#include "hrzcommon/raw_deflate.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMagic = "XZP1";
constexpr std::size_t kSizeField = 4;

bool ReadWhole(const fs::path& path, std::size_t maxBytes, std::string* data) {
  std::error_code error;
  const auto size = fs::file_size(path, error);
  if (error || size > maxBytes) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  data->assign(std::istreambuf_iterator<char>(in), {});
  return in.good() || in.eof();
}

// Written beside the target and renamed over it, so a reader never sees half a file.
bool WriteWhole(const fs::path& path, std::string_view data) {
  const fs::path partial = path.string() + ".part" + std::to_string(::getpid());
  std::error_code error;
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    if (!out.write(data.data(), static_cast<std::streamsize>(data.size())) || !out.flush()) {
      out.close();
      fs::remove(partial, error);
      return false;
    }
  }
  fs::rename(partial, path, error);
  if (error) fs::remove(partial, error);
  return !error;
}

bool IsPlainFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == '/' || c == '\\') return false;
  }
  return true;
}

std::uint32_t ReadU32(const char* bytes) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[i]);
  return value;
}

void PutU32(std::string* out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

}  // namespace

int XPrdObjCtrl::GetFile(const char* packagePath, const char* name, const char* folder,
                         char* unpackedPath, void*) {
  if (packagePath == nullptr || *packagePath == '\0') return 0;
  std::string package;
  if (!ReadWhole(packagePath, kPackageMaxBytes, &package)) return 0;
  if (package.size() < kMagic.size() + 1 || std::string_view(package).substr(0, 4) != kMagic) {
    return 0;
  }
  const std::size_t nameLength = static_cast<unsigned char>(package[4]);
  const std::size_t sizeAt = kMagic.size() + 1 + nameLength;
  if (package.size() < sizeAt + kSizeField) return 0;
  const std::string_view packedName(package.data() + 5, nameLength);
  const std::uint32_t size = ReadU32(package.data() + sizeAt);
  const std::string_view target = name != nullptr && *name != '\0' ? name : packedName;
  if (!IsPlainFileName(packedName) || !IsPlainFileName(target) || size > kPackageMaxBytes) {
    return 0;
  }
  std::string content;
  const std::string_view stream = std::string_view(package).substr(sizeAt + kSizeField);
  if (!hrz::InflateRaw(stream, size, &content) || content.size() != size) return 0;
  const fs::path where =
      folder != nullptr && *folder != '\0' ? fs::path(folder) : fs::path(packagePath).parent_path();
  const std::string path = (where / target).string();
  if (unpackedPath != nullptr && path.size() >= MAX_PATH) return 0;
  if (!WriteWhole(path, content)) return 0;
  if (unpackedPath != nullptr) std::memcpy(unpackedPath, path.c_str(), path.size() + 1);
  return 1;
}

int XPrdObjCtrl::PutFile(const char* filePath, const char* packagePath) {
  if (filePath == nullptr || packagePath == nullptr) return 0;
  const std::string name = fs::path(filePath).filename().string();
  std::string content, stream;
  if (name.size() > 255 || !IsPlainFileName(name) ||
      !ReadWhole(filePath, kPackageMaxBytes, &content) || !hrz::DeflateRaw(content, &stream)) {
    return 0;
  }
  std::string package(kMagic);
  package.push_back(static_cast<char>(name.size()));
  package += name;
  PutU32(&package, static_cast<std::uint32_t>(content.size()));
  package += stream;
  return WriteWhole(packagePath, package) ? 1 : 0;
}
