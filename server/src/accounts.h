// Users as the password and session handlers see them, and the failed-attempt count.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dispatch.h"

namespace hrzsrv {

struct Account {
  int nid = -1;
  std::string code;
  std::string kind;
};

// A user who may log on: of a user kind and not deleted. Codes compare without case.
std::optional<Account> FindAccount(StoreDb& db, std::string_view code);
std::optional<Account> FindAccountByNid(StoreDb& db, int nid);
std::optional<std::string> ReadSetting(StoreDb& db, std::string_view section, std::string_view key);

struct AttemptResult {
  std::uint8_t status;    // 31 correct, 32 wrong, 34 locked, or the refusal passed in
  std::string replyText;  // "pwd_try_left=N" with status 32 when a limit is set
};
// Checks a password against the stored hash and keeps "NTRYLGN"/"DTRYLGNTM": a success
// clears them, a failure counts up (starting again on a new day). The hash is checked
// outside any transaction, so a slow hash never holds the store for other sessions.
// refusal, when given, is the answer to a right password that may not log on from where it
// comes: it neither counts as a failure nor clears the count.
AttemptResult CheckPasswordAttempt(Context& context, int nid, std::string_view plain,
                                   const std::optional<AttemptResult>& refusal = std::nullopt);
// The same for a code that names no user: one hash against a dummy, failures counted in a
// table of their own, so the reply and its cost are those of a wrong password.
AttemptResult CheckUnknownCodeAttempt(Context& context, std::string_view code,
                                      std::string_view plain);

enum class SealCheck { kOpened, kMalformed, kStale };
// Opens a password sealed to the server's key for this connection: the nonce that hello
// gave, and a sequence number above the last one taken. kStale for a seal made for another
// connection or already used.
SealCheck OpenPassword(Context& context, std::string_view sealed, std::string* plain);

}  // namespace hrzsrv
