// File packages (".xzp"): one file, compressed, with its name. The layout, all integers
// little-endian:
//   bytes 0-3   "XZP1"
//   byte 4      length n of the packed file's name (1 to 255)
//   n bytes     the name: a plain file name, no folder, no "\" or "/", not "." or ".."
//   4 bytes     the unpacked size (at most kPackageMaxBytes)
//   the rest    the content as a raw DEFLATE stream (RFC 1951)
#pragma once

#include <cstddef>

#include "wintypes.h"

class XPrdObjCtrl {
 public:
  // The largest file a package may hold, unpacked, and the largest package read.
  static constexpr std::size_t kPackageMaxBytes = 64u << 20;

  // Unpacks the file of the package at packagePath into folder (null or empty: the package's
  // own folder) under its packed name, or under name when one is given, replacing a file
  // there. unpackedPath (MAX_PATH bytes, may be null) receives the unpacked file's path.
  // 1 when unpacked whole; 0 on any fault of the package or the file system, leaving no
  // partial file. reserved is not read.
  static int GetFile(const char* packagePath, const char* name, const char* folder,
                     char* unpackedPath, void* reserved);

  // Packs the file at filePath, under its own file name, into a package at packagePath. 1 when
  // written whole, 0 otherwise.
  static int PutFile(const char* filePath, const char* packagePath);
};
