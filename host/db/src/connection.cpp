#include "connection.h"

#include <cstring>

namespace hrzdb {

bool CallRaw(tagXCliDB* db, const std::uint8_t* header, std::span<const std::uint8_t> body,
             bool oneWay, Reply* reply, int timeoutMs) {
  if (db == nullptr) return false;
  std::lock_guard lock(db->channel);
  if (!db->transport || !db->transport->IsOpen()) return false;
  std::vector<std::uint8_t> frame(header, header + protocol::kHeaderSize);
  frame.insert(frame.end(), body.begin(), body.end());
  std::vector<std::uint8_t> answer;
  if (!db->transport->Exchange(frame, oneWay, &answer, timeoutMs)) return false;
  if (oneWay) return true;
  if (answer.size() < protocol::kHeaderSize) return false;
  std::memcpy(reply->header, answer.data(), protocol::kHeaderSize);
  reply->body.assign(answer.begin() + protocol::kHeaderSize, answer.end());
  return true;
}

bool Call(tagXCliDB* db, protocol::Kind kind, const wire::Bytes& body, Reply* reply,
          int timeoutMs) {
  std::uint8_t header[protocol::kHeaderSize] = {};
  header[protocol::kClassByte] = kind.cls;
  header[protocol::kGroupByte] = kind.group;
  header[protocol::kCodeByte] = kind.code;
  return CallRaw(db, header, body, false, reply, timeoutMs);
}

}  // namespace hrzdb
