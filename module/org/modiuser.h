// The checks and the save of the record pane (CUserRecCtrl::SaveUserRec and
// CUserRecCtrl::CheckUserField live in modiuser.cpp), and the code check they share with
// the account operations.
#pragma once

struct tagXCliDB;

namespace hrz {

// 1 when another record than ownNid (-1: none, a new record) holds code, or when the server
// cannot tell; 0 when the code is free.
int IsUserCodeTaken(tagXCliDB* db, const char* code, int ownNid);

}  // namespace hrz
