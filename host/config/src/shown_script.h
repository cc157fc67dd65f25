// Scripts as the selected language shows them.
#pragma once

namespace hrzcfg {

// script with the text of each "label, TEXT" line replaced by the catalogue's "labels" entry
// for TEXT in the selected language (kept when it has none). The result lives as long as
// the process; script must too. Null for null.
const char* ShownScript(const char* script);

}  // namespace hrzcfg
