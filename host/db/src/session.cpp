// Opening and closing connections, logon and logoff, new stores.
#include <sodium.h>

#include <cstring>
#include <mutex>

#include "connection.h"
#include "hrzcommon/text.h"
#include "hrzserver/engine.h"
#include "locations.h"
#include "sealing.h"

namespace hrzdb {
namespace {

// Reads the greeting: the server's key, the client folder, the protocol version and the
// nonce this connection seals passwords with.
bool Hello(tagXCliDB* db, std::string* error) {
  Reply reply;
  if (!Call(db, protocol::kHello, wire::BodyWriter().Finish(), &reply)) {
    *error = "the server did not answer";
    return false;
  }
  wire::BodyReader fields = reply.Fields();
  if (reply.status() != protocol::kOk) {
    std::string text;
    *error = fields.NextText(&text)
                 ? "the server refused: " + text
                 : "the server refused (status " + std::to_string(reply.status()) + ")";
    return false;
  }
  std::span<const std::uint8_t> key, nonce;
  std::int32_t version = 0;
  auto sealer = std::make_shared<Sealer>();
  if (!fields.Next(&key) || key.size() != sealer->serverKey.size() ||
      !fields.NextText(&db->serverPath, 259) || !fields.NextInt32(&version)) {
    *error = "the server's greeting is malformed";
    return false;
  }
  if (version != protocol::kProtocolVersion || !fields.Next(&nonce) ||
      nonce.size() != sealer->nonce.size()) {
    *error = "the server speaks protocol version " + std::to_string(version) +
             "; this client speaks " + std::to_string(protocol::kProtocolVersion);
    return false;
  }
  std::memcpy(sealer->serverKey.data(), key.data(), key.size());
  std::memcpy(sealer->nonce.data(), nonce.data(), nonce.size());
  db->sealer = sealer;
  RegisterSealer(sealer);
  return true;
}

}  // namespace
}  // namespace hrzdb

using namespace hrzdb;

tagXCliDB* XCliDB_Open(const char* location, char* error, int errorCapacity) {
  std::string reason;
  auto fail = [&](const std::string& why) -> tagXCliDB* {
    if (error != nullptr && errorCapacity > 0) hrz::CopyBounded(error, errorCapacity, why);
    return nullptr;
  };
  if (location == nullptr || *location == '\0') return fail("no location given");
  if (sodium_init() < 0) return fail("libsodium cannot start");
  auto db = std::make_unique<tagXCliDB>();
  db->transport = OpenLocation(ParseLocation(location), &reason);
  if (!db->transport || !Hello(db.get(), &reason)) return fail(reason);
  return db.release();
}

int XCliDB_Logon(tagXCliDB* db, const char* userCode, const char* password,
                 std::int32_t clientVersion, int* status, char* replyText, int replyCapacity) {
  if (status != nullptr) *status = 0;
  if (replyText != nullptr && replyCapacity > 0) replyText[0] = '\0';
  char sealed[kSealedCapacity];
  if (db == nullptr || userCode == nullptr || password == nullptr || !db->sealer ||
      !SealPassword(*db->sealer, password, sealed)) {
    return 0;
  }
  wire::BodyWriter body;
  if (!body.PutText(userCode) || !body.PutText(sealed)) return 0;
  body.PutInt32(clientVersion);
  std::lock_guard lock(db->channel);
  Reply reply;
  if (!Call(db, protocol::kLogon, body.Finish(), &reply)) return 0;
  if (status != nullptr) *status = reply.status();
  wire::BodyReader fields = reply.Fields();
  if (reply.status() != protocol::kLogonOk) {
    db->userNid = -1;
    db->userCode.clear();
    db->clientVersion = 0;
    std::string text;
    if (replyText != nullptr && replyCapacity > 0 && fields.NextText(&text)) {
      hrz::CopyBounded(replyText, replyCapacity, text);
    }
    return 0;
  }
  std::int32_t nid = -1;
  std::string code;
  if (!fields.NextInt32(&nid) || !fields.NextText(&code, 127)) return 0;
  db->userNid = nid;
  db->userCode = code;
  db->clientVersion = clientVersion;
  return 1;
}

void XCliDB_Logoff(tagXCliDB* db) {
  if (db == nullptr) return;
  std::lock_guard lock(db->channel);
  Reply reply;
  Call(db, protocol::kLogoff, wire::BodyWriter().Finish(), &reply);
  db->userNid = -1;
  db->userCode.clear();
  db->clientVersion = 0;
}

void XCliDB_Close(tagXCliDB* db) {
  if (db == nullptr) return;
  XCliDB_Logoff(db);
  delete db;
}

int XCliDB_CreateStore(const char* path, const char* adminPassword, int withSample, char* error,
                       int errorCapacity) {
  std::string reason;
  bool ok = path != nullptr && adminPassword != nullptr &&
            hrzsrv::CreateStore(path, adminPassword, &reason) &&
            (withSample == 0 || hrzsrv::AddSampleOrganisation(path, nullptr, &reason));
  if (!ok && reason.empty()) reason = "no path or no password given";
  if (!ok && error != nullptr && errorCapacity > 0) hrz::CopyBounded(error, errorCapacity, reason);
  return ok ? 1 : 0;
}
