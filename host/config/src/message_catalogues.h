// The catalogues themselves, one source file each.
#pragma once

#include <span>

#include "messages.h"

namespace hrzcfg {

std::span<const MessageEntry> EnglishMessages();
std::span<const MessageEntry> GermanMessages();

}  // namespace hrzcfg
