// The connection behind tagXCliDB and the one helper every client operation sends through.
#pragma once

#include <array>
#include <atomic>
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

namespace hrzdb {

// What a connection seals passwords with: the server's key, the nonce the server gave this
// connection and the sequence number of the last password sealed for it.
struct Sealer {
  std::array<std::uint8_t, 32> serverKey{};
  std::array<std::uint8_t, hrz::protocol::kSealNonceSize> nonce{};
  std::atomic<std::uint32_t> sequence{0};
};

}  // namespace hrzdb

// channel is the send lock: recursive, so the operations of this library can run while
// the same thread holds the lock for a request exchange. It guards transport and every
// field below it.
struct tagXCliDB {
  std::recursive_mutex channel;
  XCliSendLock lockHandle{this};
  std::unique_ptr<hrzdb::Transport> transport;
  std::string serverPath;
  std::shared_ptr<hrzdb::Sealer> sealer;
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

}  // namespace hrzdb
