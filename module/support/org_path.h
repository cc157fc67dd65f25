// The path of a record in the organisation, as the windows that pick or open one pass it.
#pragma once

namespace hrz {

// NIDs of an organisation path: slot 0 the root, the first slot below 1 ends it.
constexpr int kOrgPathSlots = 128;

}  // namespace hrz
