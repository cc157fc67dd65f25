#include "dispatch.h"

#include <array>

#include "clock.h"
#include "handlers.h"

namespace hrzsrv {
namespace {

namespace p = protocol;
namespace h = handlers;

constexpr std::array kRoutes = {
    Route{p::kHello, true, h::Hello},
    Route{p::kLogon, true, h::Logon},
    Route{p::kLogoff, false, h::Logoff},
    Route{p::kQuery, false, h::Query},
    Route{p::kExecute, false, h::Execute},
    Route{p::kVerifyPassword, false, h::VerifyPassword},
    Route{p::kSetPassword, false, h::SetPassword},
    Route{p::kFindCode, false, h::FindCode},
    Route{p::kReload, false, h::Reload},
    Route{p::kGetSetting, false, h::GetSetting},
    Route{p::kServerTime, false, h::ServerTime},
    Route{p::kPutLog, false, h::PutLog},
    Route{p::kFuncPvg, false, h::FuncPvg},
    Route{p::kOnlineState, false, h::OnlineState},
    Route{p::kOnlineAck, false, h::OnlineAck},
    Route{p::kDownloadName, false, h::DownloadName},
    Route{p::kUploadName, false, h::UploadName},
    Route{p::kStoredFileName, false, h::StoredName},
    Route{p::kGetFile, false, h::GetFile},
    Route{p::kPutFile, false, h::PutFile},
    // Membership
    Route{p::kAttachToNode, false, h::AttachToNode},
    Route{p::kDeleteUser, false, h::DeleteUser},
    Route{p::kRemoveUser, false, h::RemoveUser},
    Route{p::kDeleteNode, false, h::DeleteNode},
    // Privilege strings and grantors, each in two steps.
    Route{p::kReadPrivileges, false, h::ReadPrivileges},
    Route{p::kReadPrivilegesNext, false, h::ReadPrivilegesNext},
    Route{p::kSavePrivileges, false, h::SavePrivileges},
    Route{p::kSavePrivilegesNext, false, h::SavePrivilegesNext},
    // Record save
    Route{p::kRecordSaveEarly, false, h::RecordSaveEarly},
    Route{p::kRecordSaveLast, false, h::RecordSaveLast},
};

}  // namespace

double Context::Now() const {
  return DateNumberOf(engine.clock->Now());
}

Reply Reply::Failure(std::string_view reason) {
  wire::BodyWriter body;
  body.PutText(reason.substr(0, p::kMaxWriterField));
  return With(p::kFailed, body);
}

Reply Reply::Busy(std::string_view reason) {
  wire::BodyWriter body;
  body.PutText(reason);
  return With(p::kServerBusy, body);
}

const Route* FindRoute(std::uint8_t cls, std::uint8_t group, std::uint8_t code) {
  for (const Route& route : kRoutes) {
    if (route.kind.cls == cls && route.kind.group == group && route.kind.code == code) {
      return &route;
    }
  }
  return nullptr;
}

bool WaitsOnPasswordHash(std::uint8_t cls, std::uint8_t group, std::uint8_t code) {
  for (const protocol::Kind kind : {p::kLogon, p::kVerifyPassword, p::kSetPassword}) {
    if (kind.cls == cls && kind.group == group && kind.code == code) return true;
  }
  return false;
}

}  // namespace hrzsrv
