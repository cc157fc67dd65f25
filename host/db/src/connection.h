// The connection behind tagXCliDB and the one helper every client operation sends through.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hrzcommon/protocol.h"
#include "hrzcommon/text.h"
#include "hrzcommon/wire.h"
#include "transport.h"
#include "xclidb.h"

struct XCliSendLock {
  tagXCliDB* db;
};

// channel is the send lock: recursive, so the operations of this library can run while
// the same thread holds the lock for a request exchange. It guards transport and every
// field below it.
struct tagXCliDB {
  std::recursive_mutex channel;
  XCliSendLock lockHandle{this};
  std::unique_ptr<hrzdb::Transport> transport;
  std::string serverPath;
  int userNid = -1;
  std::string userCode;
  std::int32_t clientVersion = 0;
};

namespace hrzdb {

namespace protocol = hrz::protocol;
namespace wire = hrz::wire;

struct Reply {
  std::uint8_t header[protocol::kHeaderSize] = {};
  wire::Bytes body;
  std::uint8_t status() const { return header[protocol::kCodeByte]; }
  wire::BodyReader Fields() const { return wire::BodyReader(body); }
};

// Builds the header of kind, exchanges under the send lock and splits the reply. False when
// the connection failed (it is then closed) or the reply was shorter than a header.
bool Call(tagXCliDB* db, protocol::Kind kind, const wire::Bytes& body, Reply* reply,
          int timeoutMs = 0);
// The same for a caller-made header; oneWay sends without waiting.
bool CallRaw(tagXCliDB* db, const std::uint8_t* header, std::span<const std::uint8_t> body,
             bool oneWay, Reply* reply, int timeoutMs);

// Remembers the key that XCliEncryptPassword seals to (the latest connection's).
void SetSealingKey(std::span<const std::uint8_t> publicKey);

}  // namespace hrzdb
