// Windows-named user-interface calls of the module: message boxes, the file-open dialog,
// the shell's "open" and the wait cursor, over Qt Widgets. When a platform automation is
// installed (platform_automation.h) it answers message boxes, file dialogs and shell opens
// instead of the user.
#pragma once

#include "wintypes.h"

// Message box buttons and icons (combine one of each).
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x40;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_TYPEMASK = 0xf;
constexpr UINT MB_ICONMASK = 0xf0;

// Shows a modal message box owned by owner (null: the active window). Returns the id of
// the chosen button (IDOK, IDCANCEL, IDYES, IDNO); closing the box counts as Cancel, or as
// No when there is no Cancel button. Returns 0 when no box can be shown (no application).
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);

// File-open dialog. lpstrFilter holds pairs "label\0pattern;pattern\0" ended by an extra
// "\0"; nFilterIndex is 1-based. On OK the chosen path is written into lpstrFile (nMaxFile
// bytes, bounded) and TRUE returned; Cancel, a too long path or no application give FALSE.
constexpr DWORD OFN_READONLY = 0x1;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x2;
constexpr DWORD OFN_HIDEREADONLY = 0x4;
constexpr DWORD OFN_PATHMUSTEXIST = 0x800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x1000;

struct OPENFILENAMEA {
  DWORD lStructSize = sizeof(OPENFILENAMEA);
  HWND hwndOwner = nullptr;
  const char* lpstrFilter = nullptr;
  DWORD nFilterIndex = 1;
  char* lpstrFile = nullptr;
  DWORD nMaxFile = 0;
  const char* lpstrInitialDir = nullptr;
  const char* lpstrTitle = nullptr;
  DWORD Flags = 0;
  const char* lpstrDefExt = nullptr;
};
BOOL GetOpenFileNameA(OPENFILENAMEA* request);

// Opens a file or address with the desktop's default program. Only the "open" operation
// is known. Returns a value above 32 on success, and 2 (file not found), 31 (no
// association) or 0 (bad arguments) on failure.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;
HINSTANCE ShellExecuteA(HWND owner, const char* operation, const char* file, const char* parameters,
                        const char* directory, int showCommand);

// Cursors: the wait cursor covers the whole application until the arrow is set again.
constexpr int IDC_ARROW = 32512;
constexpr int IDC_WAIT = 32514;
HCURSOR LoadCursorA(HINSTANCE instance, int cursorId);
inline HCURSOR LoadCursor(HINSTANCE instance, int cursorId) {
  return LoadCursorA(instance, cursorId);
}
// Returns the previous cursor.
HCURSOR SetCursor(HCURSOR cursor);

// Ends the program's event loop with exitCode once control returns to it: every running
// loop, a modal dialog's too, returns. Nothing happens without an application object.
void PostQuitMessage(int exitCode);
