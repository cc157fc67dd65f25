#include "grid_configs.h"

#include "config_lookup.h"
#include "shown_script.h"

namespace hrzcfg {
namespace {

// "1, grid, <name>, <table>" opens a configuration; each "1.1, column, <kind>, <control
// name>" adds a column, its lines below giving the bound field, heading, width and whether
// it shows only in detail mode. "1.1, order" gives the default sort order and "1.1, kind"
// the column that holds a row's record kind.
const NamedScript kGrids[] = {
    {"User Search Result", R"(1, grid, User Search Result, UUSR
1.1, column, text, CCODE
1.1.1, field, UUSR.CCODE
1.1.1, label, Code
1.1.1, width, 120
1.1, column, text, CNAME
1.1.1, field, UUSR.CNAME
1.1.1, label, Name
1.1.1, width, 180
1.1, column, text, CSRC
1.1.1, field, UUSR.CSRC
1.1.1, label, Kind
1.1.1, width, 70
1.1, column, text, NSTAT
1.1.1, field, UUSR.NSTAT
1.1.1, label, State
1.1.1, width, 60
1.1.1, detail, true
1.1, order, UUSR.CCODE
1.1, kind, UUSR.CSRC
)"},
    {"User Stat Result", R"(1, grid, User Stat Result, UUSR
1.1, column, icon, ISONLN
1.1.1, label, Online
1.1.1, width, 48
1.1, column, text, CCODE
1.1.1, field, UUSR.CCODE
1.1.1, label, Code
1.1.1, width, 120
1.1, column, text, CNAME
1.1.1, field, UUSR.CNAME
1.1.1, label, Name
1.1.1, width, 180
1.1, column, text, NUPCLIVR
1.1.1, field, UUSR.NUPCLIVR
1.1.1, label, Client version
1.1.1, width, 110
1.1, order, UUSR.CCODE
1.1, kind, UUSR.CSRC
)"},
    {"Func Pvg Grid", R"(1, grid, Func Pvg Grid, UUSRFN
1.1, column, text, CCODE
1.1.1, field, UUSRFN.CCODE
1.1.1, label, Code
1.1.1, width, 110
1.1, column, text, CNAME
1.1.1, field, UUSRFN.CNAME
1.1.1, label, Function
1.1.1, width, 200
1.1, column, text, NFNCHR
1.1.1, field, UUSRFN.NFNCHR
1.1.1, label, Position
1.1.1, width, 60
1.1, column, icon, VIEW
1.1.1, label, View
1.1.1, width, 60
1.1, column, icon, MODI
1.1.1, label, Modify
1.1.1, width, 60
1.1, column, text, CREATOR
1.1.1, label, Granted by
1.1.1, width, 90
1.1, column, text, CDESC
1.1.1, field, UUSRFN.CDESC
1.1.1, label, Description
1.1.1, width, 0
1.1, order, UUSRFN.NID
)"},
    {"SetupInfo Grid", R"(1, grid, SetupInfo Grid, USETUPINFO
1.1, column, text, CNAME
1.1.1, field, USETUPINFO.CNAME
1.1.1, label, Computer
1.1.1, width, 140
1.1, column, text, CUSER
1.1.1, field, USETUPINFO.CUSER
1.1.1, label, User
1.1.1, width, 100
1.1, column, text, CIPS
1.1.1, field, USETUPINFO.CIPS
1.1.1, label, IP addresses
1.1.1, width, 140
1.1, column, text, CCODE
1.1.1, field, USETUPINFO.CCODE
1.1.1, label, Machine code
1.1.1, width, 240
1.1, column, text, CMACS
1.1.1, field, USETUPINFO.CMACS
1.1.1, label, MAC addresses
1.1.1, width, 160
1.1.1, detail, true
1.1, column, text, CORGCODES
1.1.1, field, USETUPINFO.CORGCODES
1.1.1, label, Organisation
1.1.1, width, 120
1.1.1, detail, true
1.1, column, text, DMODI
1.1.1, field, USETUPINFO.DMODI
1.1.1, label, Changed
1.1.1, width, 120
1.1.1, detail, true
1.1, order, USETUPINFO.CNAME
)"},
};

}  // namespace

const char* GridConfigScript(std::string_view name) {
  return ShownScript(FindScript(kGrids, name));
}

}  // namespace hrzcfg
