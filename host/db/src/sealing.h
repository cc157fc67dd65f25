// Sealing passwords for the server: sealed to its key, bound to one connection's nonce and
// numbered, so that a sealed password works once and only on the connection it was made for.
#pragma once

#include <memory>

#include "connection.h"

namespace hrzdb {

// The sealed text needs at most this many bytes with its zero.
constexpr std::size_t kSealedCapacity = 256;

// Makes sealer the one XCliEncryptPassword uses while it lives and no newer one does.
void RegisterSealer(const std::shared_ptr<Sealer>& sealer);
// Seals plain for sealer's connection into out (kSealedCapacity bytes); false when it
// does not fit.
bool SealPassword(Sealer& sealer, const char* plain, char* out);

}  // namespace hrzdb
