// Windows-named operating-system calls that the module makes, over POSIX.
#pragma once

#include <cstdint>

#include "wintypes.h"

// Writes the temporary folder (TMPDIR or /tmp), always ending in "/", into buffer.
// Returns the length written, or the size needed (including the terminator) when
// bufferLength is too small; 0 on failure.
DWORD GetTempPathA(DWORD bufferLength, char* buffer);

// Debug output: written to standard error when HRZ_DEBUG_OUTPUT is set, else dropped.
void OutputDebugStringA(const char* text);

// ---- Files -------------------------------------------------------------------------

constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes = 0;
  DWORD nFileSizeHigh = 0;
  DWORD nFileSizeLow = 0;
  char cFileName[MAX_PATH] = {};
};

// Searches a folder for names matching the last part of pattern ("dir/*.dwg"); "*" and "?"
// match without regard to case, "." and ".." are never reported. Returns a search handle and
// the first match, or INVALID_HANDLE_VALUE when the folder cannot be read or nothing matches.
HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* found);
// The next match; FALSE when there is none.
BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* found);
BOOL FindClose(HANDLE search);

// Copies a regular file; with failIfExists an existing target is left alone and FALSE returned.
// The target appears whole or not at all (written beside it, then renamed).
BOOL CopyFileA(const char* existing, const char* target, BOOL failIfExists);
// Removes a file; FALSE when it does not exist or cannot be removed.
BOOL DeleteFileA(const char* path);

// Splits path into its folder (with its last "\" or "/"), its file name without the
// extension, and the extension without the dot; each output (MAX_PATH bytes) may be null. A
// name that starts with its only dot (".profile") has no extension. FALSE, outputs untouched,
// when path is null or not shorter than MAX_PATH.
BOOL PDSplitPathAndNameNoExtAndExt(const char* path, char* folder, char* name, char* extension);

// The path of the loaded object (executable or shared library) whose load address is
// module; null means the executable. Bounded like the original: on truncation the
// buffer holds size-1 characters and size is returned. 0 on failure.
DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size);
// The same path in UTF-16; size and result count UTF-16 units.
DWORD GetModuleFileNameW(HMODULE module, WCHAR* buffer, DWORD size);

// ---- System and process --------------------------------------------------------------

// The running kernel's version: "6.1.0-18-amd64" gives major 6, minor 1, build 0, and the
// release text in szCSDVersion; dwPlatformId is 0, as no Windows platform id fits.
// dwOSVersionInfoSize must be sizeof(OSVERSIONINFOA) (148).
struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize = 0;
  DWORD dwMajorVersion = 0;
  DWORD dwMinorVersion = 0;
  DWORD dwBuildNumber = 0;
  DWORD dwPlatformId = 0;
  char szCSDVersion[128] = {};
};
BOOL GetVersionExA(OSVERSIONINFOA* info);

DWORD GetCurrentProcessId();

// ---- Devices -------------------------------------------------------------------------

// A driver's device is opened by "\\.\NAME" or "\\.\Global\NAME" (both the same device
// here) and reached over the local socket NAME in the driver's socket folder
// (hrzcommon/krn_socket.h). Nothing else can be opened, and only OPEN_EXISTING.
constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD OPEN_EXISTING = 3;
struct SECURITY_ATTRIBUTES;
struct OVERLAPPED;

// A device handle, or INVALID_HANDLE_VALUE when no driver answers at that name.
HANDLE CreateFileA(const char* path, DWORD access, DWORD shareMode, SECURITY_ATTRIBUTES* security,
                   DWORD creation, DWORD flags, HANDLE templateFile);
// Sends one control request and waits (at most 5 s) for its reply, which goes into out
// (outSize bytes) with its length in *returned. FALSE when the driver refuses the request
// or does not answer, the handle is not an open device, or an overlapped call is asked for.
BOOL DeviceIoControl(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out,
                     DWORD outSize, DWORD* returned, OVERLAPPED* overlapped);
// Closes a device handle; FALSE for anything else.
BOOL CloseHandle(HANDLE handle);

// ---- Threads -----------------------------------------------------------------------

// Starts a detached thread running start(arg). Returns a non-zero id, or (uintptr_t)-1 when
// the thread could not be started. stackSize is accepted and ignored.
std::uintptr_t _beginthread(void (*start)(void*), unsigned stackSize, void* arg);
void Sleep(DWORD milliseconds);
// Atomic, sequentially consistent; return the new value.
LONG InterlockedIncrement(volatile LONG* value);
LONG InterlockedDecrement(volatile LONG* value);
