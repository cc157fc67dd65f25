// Opening and closing connections, logon and logoff, new stores, sealing passwords.
#include <sodium.h>

#include <cstring>
#include <mutex>

#include "connection.h"
#include "hrzserver/engine.h"

namespace hrzdb {
namespace {

constexpr std::string_view kTcpScheme = "tcp://";
constexpr std::size_t kSealedCapacity = 256;
static_assert(sodium_base64_ENCODED_LEN(crypto_box_SEALBYTES + XCLI_PASSWORD_MAX_BYTES,
                                        sodium_base64_VARIANT_ORIGINAL) <= kSealedCapacity &&
                  sodium_base64_ENCODED_LEN(crypto_box_SEALBYTES + XCLI_PASSWORD_MAX_BYTES + 1,
                                            sodium_base64_VARIANT_ORIGINAL) > kSealedCapacity,
              "XCLI_PASSWORD_MAX_BYTES is the most that the sealed buffer holds");

// The key of the most recently opened connection, for XCliEncryptPassword.
std::mutex g_keyMutex;
std::array<std::uint8_t, crypto_box_PUBLICKEYBYTES> g_sealingKey{};  // guarded by g_keyMutex
bool g_hasSealingKey = false;                                        // guarded by g_keyMutex

bool Hello(tagXCliDB* db, std::string* error) {
  Reply reply;
  std::span<const std::uint8_t> key;
  if (!Call(db, protocol::kHello, wire::BodyWriter().Finish(), &reply) ||
      reply.status() != protocol::kOk) {
    *error = "the server did not answer";
    return false;
  }
  wire::BodyReader fields = reply.Fields();
  if (!fields.Next(&key) || key.size() != crypto_box_PUBLICKEYBYTES ||
      !fields.NextText(&db->serverPath, 259)) {
    *error = "the server's greeting is malformed";
    return false;
  }
  SetSealingKey(key);
  return true;
}

}  // namespace

void SetSealingKey(std::span<const std::uint8_t> publicKey) {
  std::lock_guard lock(g_keyMutex);
  std::memcpy(g_sealingKey.data(), publicKey.data(), g_sealingKey.size());
  g_hasSealingKey = true;
}

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
  const std::string_view where(location);
  auto db = std::make_unique<tagXCliDB>();
  db->transport = where.starts_with(kTcpScheme)
                      ? OpenTcpTransport(std::string(where.substr(kTcpScheme.size())), &reason)
                      : OpenEmbeddedTransport(std::string(where), &reason);
  if (!db->transport || !Hello(db.get(), &reason)) return fail(reason);
  return db.release();
}

int XCliDB_Logon(tagXCliDB* db, const char* userCode, const char* password,
                 std::int32_t clientVersion, int* status, char* replyText, int replyCapacity) {
  if (status != nullptr) *status = 0;
  if (replyText != nullptr && replyCapacity > 0) replyText[0] = '\0';
  char sealed[kSealedCapacity];
  if (db == nullptr || userCode == nullptr || password == nullptr ||
      !XCliEncryptPassword(password, sealed)) {
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

int XCliEncryptPassword(const char* plain, char* out) {
  if (plain == nullptr || out == nullptr) return 0;
  out[0] = '\0';
  std::array<std::uint8_t, crypto_box_PUBLICKEYBYTES> key;
  {
    std::lock_guard lock(g_keyMutex);
    if (!g_hasSealingKey) return 0;
    key = g_sealingKey;
  }
  const std::size_t length = std::strlen(plain);
  std::vector<unsigned char> sealed(crypto_box_SEALBYTES + length);
  if (sodium_base64_ENCODED_LEN(sealed.size(), sodium_base64_VARIANT_ORIGINAL) > kSealedCapacity ||
      crypto_box_seal(sealed.data(), reinterpret_cast<const unsigned char*>(plain), length,
                      key.data()) != 0) {
    return 0;
  }
  sodium_bin2base64(out, kSealedCapacity, sealed.data(), sealed.size(),
                    sodium_base64_VARIANT_ORIGINAL);
  return 1;
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
