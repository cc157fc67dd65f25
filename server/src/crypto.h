// Password hashing (Argon2id) and the server's sealed-box keypair.
#pragma once

#include <sodium.h>

#include <array>
#include <string>
#include <string_view>

namespace hrzsrv {

using PublicKey = std::array<unsigned char, crypto_box_PUBLICKEYBYTES>;
using SecretKey = std::array<unsigned char, crypto_box_SECRETKEYBYTES>;

// False when libsodium cannot start; every entry point of the engine calls it first.
bool InitCrypto();
// Hashes run on the password hash pool (hash_pool.h) while the caller waits. kBusy: too many
// hashes wait already, or no helper could take one; nothing was done.
enum class HashOutcome { kDone, kFailed, kBusy };
// What a client is told when its hash was refused as kBusy.
inline constexpr const char* kHashesBusy = "too many password checks are waiting; try again";
// An Argon2id string at the interactive limits into hash; kFailed when hashing failed (out of
// memory).
HashOutcome HashPassword(std::string_view plain, std::string* hash);
enum class PasswordCheck { kMatches, kDiffers, kBusy };
PasswordCheck CheckPassword(const std::string& hash, std::string_view plain);
void MakeKeypair(PublicKey* pk, SecretKey* sk);
// Opens base64 text (standard alphabet, padding optional) sealed to pk; false when it is not
// base64 or not sealed to this key.
bool OpenSealedText(std::string_view base64, const PublicKey& pk, const SecretKey& sk,
                    std::string* plain);

}  // namespace hrzsrv
