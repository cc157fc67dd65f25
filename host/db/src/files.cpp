// Files kept by the server: the client folder, download and upload of content.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "connection.h"
#include "hrzcommon/text.h"

namespace {

constexpr std::size_t kServerPathBuffer = 260;

}  // namespace

using namespace hrzdb;

int XCliDB_GetServerPath(tagXCliDB* db, char* out) {
  if (db == nullptr || out == nullptr) return 0;
  std::lock_guard lock(db->channel);
  return hrz::CopyBounded(out, kServerPathBuffer, db->serverPath) ? 1 : 0;
}

int XCliDB_GetFile(tagXCliDB* db, int, const char* serverName, const char* localPath, int, int, int,
                   int, int, int) {
  if (serverName == nullptr || localPath == nullptr) return 0;
  wire::BodyWriter body;
  if (!body.PutText(serverName)) return 0;
  Reply reply;
  std::string data;
  if (!Call(db, protocol::kGetFile, body.Finish(), &reply) || reply.status() != protocol::kOk) {
    return 0;
  }
  wire::BodyReader in = reply.Fields();
  if (!in.NextLong(&data, protocol::kMaxFileBytes)) return 0;
  std::ofstream file(localPath, std::ios::binary | std::ios::trunc);
  file.write(data.data(), static_cast<std::streamsize>(data.size()));
  file.close();
  if (!file) {
    std::remove(localPath);
    return 0;
  }
  return 1;
}

int XCliDB_PutFile(tagXCliDB* db, int, const char* localPath, const char* serverName, int, int, int,
                   int, int, int) {
  if (serverName == nullptr || localPath == nullptr) return 0;
  std::ifstream file(localPath, std::ios::binary);
  if (!file) return 0;
  std::string data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad() || data.size() > protocol::kMaxFileBytes) return 0;
  wire::BodyWriter body;
  if (!body.PutText(serverName)) return 0;
  body.PutLong(data);
  Reply reply;
  return Call(db, protocol::kPutFile, body.Finish(), &reply) && reply.status() == protocol::kOk ? 1
                                                                                                : 0;
}
