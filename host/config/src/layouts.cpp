#include "layouts.h"

#include <map>
#include <string>

#include "config_lookup.h"
#include "shown_script.h"

namespace hrzcfg {
namespace {

// A layout is "1, object, <layout>, <record table>, <link table>" and then, in form order,
// "1.1, control, <kind>, <name>" for each field or button, with lines below it for the
// label, the bound field, whether it is editable or required, its value list, echo
// character and type code (129: shown only, never saved). Fields without placement lines
// are stacked under each other. The pieces below are shared between the layouts.
constexpr const char* kCodeName = R"(1.1, control, edit, CCODE
1.1.1, label, Code
1.1.1, field, UUSR.CCODE
1.1.1, required, true
1.1, control, button, XNEWCODE
1.1.1, label, New code
1.1, control, edit, CNAME
1.1.1, label, Name
1.1.1, field, UUSR.CNAME
1.1.1, required, true
)";
constexpr const char* kUserState = R"(1.1, control, combo, NSTAT
1.1.1, label, State
1.1.1, field, UUSR.NSTAT
1.1.1, values, UUSR.NSTAT
)";
constexpr const char* kPasswords = R"(1.1, control, edit, CPWD
1.1.1, label, Password
1.1.1, echo, *
1.1, control, edit, RE_CPWD
1.1.1, label, Repeat password
1.1.1, echo, *
)";
constexpr const char* kRule = R"(1.1, control, edit, CPWDRULE
1.1.1, label, Password rule
1.1.1, field, UUSR.CPWDRULE
1.1.1, editable, false
1.1, control, edit, NPWDDAYS
1.1.1, label, Password days
1.1.1, field, UUSR.NPWDDAYS
1.1.1, editable, false
1.1, control, edit, DMODIPWD
1.1.1, label, Password changed
1.1.1, field, UUSR.DMODIPWD
1.1.1, editable, false
1.1, control, button, BTNPWDRULE
1.1.1, label, Password rule...
)";
constexpr const char* kLoginIp = R"(1.1, control, edit, CLGNIP
1.1.1, label, Login IP addresses
1.1.1, field, UUSR.CLGNIP
)";
constexpr const char* kLoginMac = R"(1.1, control, edit, CLGNMAC
1.1.1, label, Login machines
1.1.1, field, UUSR.CLGNMAC
1.1, control, button, BTNLGNMAC
1.1.1, label, Add machine...
)";
constexpr const char* kLoginTries = R"(1.1, control, edit, NTRYLGN
1.1.1, label, Failed logons
1.1.1, field, UUSR.NTRYLGN
1.1.1, editable, false
1.1.1, type code, 129
1.1, control, edit, DTRYLGNTM
1.1.1, label, Last failed logon
1.1.1, field, UUSR.DTRYLGNTM
1.1.1, editable, false
1.1.1, type code, 129
)";
constexpr const char* kDates = R"(1.1, control, edit, DCRTE
1.1.1, label, Created
1.1.1, field, UUSR.DCRTE
1.1.1, editable, false
1.1.1, type code, 129
1.1, control, edit, DMODI
1.1.1, label, Changed
1.1.1, field, UUSR.DMODI
1.1.1, editable, false
1.1.1, type code, 129
)";
constexpr const char* kDeptIp = R"(1.1, control, button, BTNDEPTIP
1.1.1, label, IP for all below...
)";

struct LayoutParts {
  const char* name;
  std::string fields;
};

const LayoutParts kLayouts[] = {
    {"UUSR", std::string(kCodeName) + kUserState + kPasswords + kRule + kLoginIp + kLoginMac +
                 kLoginTries + kDates},
    {"UUSR New", std::string(kCodeName) + kUserState + kPasswords + kRule + kLoginIp + kLoginMac},
    {"UDEPT", std::string(kCodeName) + kRule + kLoginIp + kDeptIp + kDates},
    {"UDEPT New", std::string(kCodeName) + kRule + kLoginIp},
    {"UROLE", std::string(kCodeName) + kRule + kLoginIp + kDeptIp + kDates},
    {"UROLE New", std::string(kCodeName) + kRule + kLoginIp},
};

// The whole scripts, put together once.
const std::map<std::string, std::string>& Scripts() {
  static const std::map<std::string, std::string> scripts = [] {
    std::map<std::string, std::string> all;
    for (const LayoutParts& layout : kLayouts) {
      all[layout.name] =
          std::string("1, object, ") + layout.name + ", UUSR, UUSRBM\n" + layout.fields;
    }
    return all;
  }();
  return scripts;
}

}  // namespace

const char* LayoutScript(std::string_view name) {
  for (const auto& [layout, script] : Scripts()) {
    if (hrz::EqualsNoCase(layout, name)) return ShownScript(script.c_str());
  }
  return nullptr;
}

}  // namespace hrzcfg
