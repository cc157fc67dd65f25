// The version of hrzhost as a number: its logon tells the server, and the online statistics
// compare each user's number with their own.
#pragma once

#include <cstdint>

namespace hrzhost {

constexpr std::int32_t ClientVersionNumber(int major, int minor, int patch) {
  return major * 10000 + minor * 100 + patch;
}

static_assert(HRZ_VERSION_MINOR < 100 && HRZ_VERSION_PATCH < 100,
              "the minor version and the patch each take two decimal digits");
constexpr std::int32_t kClientVersion =
    ClientVersionNumber(HRZ_VERSION_MAJOR, HRZ_VERSION_MINOR, HRZ_VERSION_PATCH);

}  // namespace hrzhost
