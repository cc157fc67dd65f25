#include "sealing.h"

#include <sodium.h>

#include <cstring>
#include <mutex>
#include <vector>

namespace hrzdb {
namespace {

namespace protocol = hrz::protocol;

// The sealers of open connections, oldest first; the module's XCliEncryptPassword names no
// connection, so it seals for the newest.
std::mutex g_sealersMutex;
std::vector<std::weak_ptr<Sealer>> g_sealers;  // guarded by g_sealersMutex

std::shared_ptr<Sealer> NewestSealer() {
  std::lock_guard lock(g_sealersMutex);
  std::erase_if(g_sealers, [](const std::weak_ptr<Sealer>& s) { return s.expired(); });
  return g_sealers.empty() ? nullptr : g_sealers.back().lock();
}

}  // namespace

static_assert(sodium_base64_ENCODED_LEN(crypto_box_SEALBYTES + protocol::kSealPrefixSize +
                                            XCLI_PASSWORD_MAX_BYTES,
                                        sodium_base64_VARIANT_ORIGINAL_NO_PADDING) <=
                      kSealedCapacity &&
                  sodium_base64_ENCODED_LEN(crypto_box_SEALBYTES + protocol::kSealPrefixSize +
                                                XCLI_PASSWORD_MAX_BYTES + 1,
                                            sodium_base64_VARIANT_ORIGINAL_NO_PADDING) >
                      kSealedCapacity,
              "XCLI_PASSWORD_MAX_BYTES is the most that the sealed buffer holds");

void RegisterSealer(const std::shared_ptr<Sealer>& sealer) {
  std::lock_guard lock(g_sealersMutex);
  std::erase_if(g_sealers, [](const std::weak_ptr<Sealer>& s) { return s.expired(); });
  g_sealers.push_back(sealer);
}

bool SealPassword(Sealer& sealer, const char* plain, char* out) {
  out[0] = '\0';
  const std::size_t length = std::strlen(plain);
  const std::size_t openedSize = protocol::kSealPrefixSize + length;
  const std::size_t sealedSize = crypto_box_SEALBYTES + openedSize;
  if (sodium_base64_ENCODED_LEN(sealedSize, sodium_base64_VARIANT_ORIGINAL_NO_PADDING) >
      kSealedCapacity) {
    return false;
  }
  std::vector<unsigned char> opened(openedSize);
  std::memcpy(opened.data(), sealer.nonce.data(), sealer.nonce.size());
  const std::uint32_t sequence = ++sealer.sequence;
  for (int i = 0; i < 4; ++i) {
    opened[protocol::kSealNonceSize + i] = static_cast<unsigned char>(sequence >> (8 * i));
  }
  std::memcpy(opened.data() + protocol::kSealPrefixSize, plain, length);
  std::vector<unsigned char> sealed(sealedSize);
  const bool ok =
      crypto_box_seal(sealed.data(), opened.data(), opened.size(), sealer.serverKey.data()) == 0;
  sodium_memzero(opened.data(), opened.size());
  if (!ok) return false;
  sodium_bin2base64(out, kSealedCapacity, sealed.data(), sealed.size(),
                    sodium_base64_VARIANT_ORIGINAL_NO_PADDING);
  return true;
}

}  // namespace hrzdb

int XCliEncryptPassword(const char* plain, char* out) {
  if (plain == nullptr || out == nullptr) return 0;
  out[0] = '\0';
  std::shared_ptr<hrzdb::Sealer> sealer = hrzdb::NewestSealer();
  return sealer && hrzdb::SealPassword(*sealer, plain, out) ? 1 : 0;
}
