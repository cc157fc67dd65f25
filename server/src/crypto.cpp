#include "crypto.h"

#include <utility>
#include <vector>

#include "hash_pool.h"

namespace hrzsrv {

bool InitCrypto() {
  return sodium_init() >= 0;
}

HashOutcome HashPassword(std::string_view plain, std::string* hash) {
  PasswordJob job;
  job.kind = PasswordJob::kMake;
  job.plain = plain;
  if (!RunPasswordJob(job)) return HashOutcome::kBusy;
  if (!job.ok) return HashOutcome::kFailed;
  *hash = std::move(job.hash);
  return HashOutcome::kDone;
}

PasswordCheck CheckPassword(const std::string& hash, std::string_view plain) {
  if (hash.empty()) return PasswordCheck::kDiffers;
  PasswordJob job;
  job.kind = PasswordJob::kVerify;
  job.plain = plain;
  job.hash = hash;
  if (!RunPasswordJob(job)) return PasswordCheck::kBusy;
  return job.ok ? PasswordCheck::kMatches : PasswordCheck::kDiffers;
}

void MakeKeypair(PublicKey* pk, SecretKey* sk) {
  crypto_box_keypair(pk->data(), sk->data());
}

bool OpenSealedText(std::string_view base64, const PublicKey& pk, const SecretKey& sk,
                    std::string* plain) {
  // Padding is optional: it carries nothing.
  while (base64.ends_with('=')) base64.remove_suffix(1);
  std::vector<unsigned char> sealed(base64.size());
  std::size_t sealedLength = 0;
  if (sodium_base642bin(sealed.data(), sealed.size(), base64.data(), base64.size(), nullptr,
                        &sealedLength, nullptr, sodium_base64_VARIANT_ORIGINAL_NO_PADDING) != 0 ||
      sealedLength < crypto_box_SEALBYTES) {
    return false;
  }
  std::vector<unsigned char> opened(sealedLength - crypto_box_SEALBYTES);
  if (crypto_box_seal_open(opened.data(), sealed.data(), sealedLength, pk.data(), sk.data()) != 0) {
    return false;
  }
  plain->assign(opened.begin(), opened.end());
  sodium_memzero(opened.data(), opened.size());
  return true;
}

}  // namespace hrzsrv
