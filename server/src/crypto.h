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
// An Argon2id string at the interactive limits; empty when hashing failed (out of memory).
std::string HashPassword(std::string_view plain);
bool PasswordMatches(const std::string& hash, std::string_view plain);
void MakeKeypair(PublicKey* pk, SecretKey* sk);
// Opens base64 text (standard alphabet, padding optional) sealed to pk; false when it is not
// base64 or not sealed to this key.
bool OpenSealedText(std::string_view base64, const PublicKey& pk, const SecretKey& sk,
                    std::string* plain);

}  // namespace hrzsrv
