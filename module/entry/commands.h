// One function per command: makes the module's resources current, runs the command's
// dialog modally with no parent window and restores the resources. The result is what
// HRZCmd returns for the command. Each subsystem folder defines its own commands beside
// its dialogs.
#pragma once

namespace hrz {

using CommandFunc = int (*)(const char* command, char* out);

int CmdChangePassword(const char* command, char* out);
int CmdChangeExpiredPassword(const char* command, char* out);
int CmdUserManager(const char* command, char* out);
int CmdUserStatistics(const char* command, char* out);
int CmdFunctionPrivileges(const char* command, char* out);
int CmdUserInfo(const char* command, char* out);
int CmdSelectUser(const char* command, char* out);
int CmdViewSignatures(const char* command, char* out);
// Opens the dialog that registers command as a function privilege (capture mode).
int CmdAddFunctionPrivilege(const char* command, char* out);

}  // namespace hrz
