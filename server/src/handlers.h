// Request handlers, each answering one request kind (see dispatch.cpp for the table).
#pragma once

#include "dispatch.h"

namespace hrzsrv::handlers {

// Session
Reply Hello(Context&, wire::BodyReader&);
Reply Logon(Context&, wire::BodyReader&);
Reply Logoff(Context&, wire::BodyReader&);
// SQL
Reply Query(Context&, wire::BodyReader&);
Reply Execute(Context&, wire::BodyReader&);
// Passwords
Reply VerifyPassword(Context&, wire::BodyReader&);
Reply SetPassword(Context&, wire::BodyReader&);
// Organisation and server information
Reply FindCode(Context&, wire::BodyReader&);
Reply Reload(Context&, wire::BodyReader&);
Reply GetSetting(Context&, wire::BodyReader&);
Reply ServerTime(Context&, wire::BodyReader&);
Reply PutLog(Context&, wire::BodyReader&);
Reply FuncPvg(Context&, wire::BodyReader&);
Reply OnlineState(Context&, wire::BodyReader&);
Reply OnlineAck(Context&, wire::BodyReader&);
// Privilege strings and grantors: first steps and their continuations
Reply ReadPrivileges(Context&, wire::BodyReader&);
Reply ReadPrivilegesNext(Context&, wire::BodyReader&);
Reply SavePrivileges(Context&, wire::BodyReader&);
Reply SavePrivilegesNext(Context&, wire::BodyReader&);
// Record save
Reply RecordSaveEarly(Context&, wire::BodyReader&);
Reply RecordSaveLast(Context&, wire::BodyReader&);
// Files
Reply DownloadName(Context&, wire::BodyReader&);
Reply UploadName(Context&, wire::BodyReader&);
Reply StoredName(Context&, wire::BodyReader&);
Reply GetFile(Context&, wire::BodyReader&);
Reply PutFile(Context&, wire::BodyReader&);
// Membership
Reply AttachToNode(Context&, wire::BodyReader&);
Reply DeleteUser(Context&, wire::BodyReader&);
Reply RemoveUser(Context&, wire::BodyReader&);
Reply DeleteNode(Context&, wire::BodyReader&);

}  // namespace hrzsrv::handlers
