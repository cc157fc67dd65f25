// Icons and bitmaps of the module (hrzuser.rc), by what they show.
// Only #define lines: the resource-script reader reads this file as well.
#pragma once

#define IDI_CHGPWD 130             // window icon of the change-password dialog
#define IDI_INHERITED_PVG 139      // privilege mark: granted through a department or role
#define IDI_OWN_PVG 1016           // privilege mark: granted to the entry itself
#define IDB_DWGSIGN_PLACEMENT 134  // where X, Y and H of a drawing signature lie on a sheet
#define IDI_USER_ONLINE 1016       // the same mark in the statistics grid: logged on now
#define IDB_KRN_POLICY 1001         // images of the kernel policy tree, in a strip
