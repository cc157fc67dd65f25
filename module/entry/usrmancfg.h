// Client configuration files: loading (plain "//TEXT" or raw DEFLATE), the name=value
// line reader, the logon settings and the paths of files in the temporary folder.
// Failures are silent: null, 0, -1 or empty out buffers; the caller decides what to show.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "hrzcommon/cfg_file.h"

namespace hrz {

// The whole text with a zero byte after it, or null on any failure. compressed (may be
// null) is set to 1 when the file was a DEFLATE stream, else 0.
std::unique_ptr<char[]> LoadCfgFile(const char* path, int* compressed);

// Calls onLine(name, value) for each setting line in file order until it returns false.
using CfgLineFunc = std::function<bool(std::string_view name, std::string_view value)>;
void ForEachCfgLine(std::string_view text, const CfgLineFunc& onLine);

// Values of "LastServer" and "ComputerNameLogon" (the last line of each wins) into two
// buffers of 512 bytes, both emptied first.
void ReadLogonSettings(const char* path, char* lastServer, char* computerNameLogon);

// Size in bytes from the directory entry, or -1 when there is no such file.
long long CfgFileSize(const char* path);

// The temporary folder joined with the file's own name (after the last "\" or "/") into
// out (260 bytes, may be null). Returns 1 when that file exists and is not empty.
int TempPathOfFile(char* out, const char* file);

// The server's client-file folder (XCliDB_GetServerPath on the module's connection) and
// the file name with one "\" between them, into out (260 bytes). 1 when it fit.
int ServerPathOfFile(char* out, const char* name);

// Copies a file the server keeps for clients into the temporary folder under its own name
// (request 65, 6, 10, then XCliDB_GetFile). Non-zero when the copy was made.
int DownloadServerFile(const char* name);

}  // namespace hrz
