#include "privilege_store.h"

#include "hrzcommon/protocol.h"
#include "hrzcommon/wire.h"
#include "statement.h"

namespace hrzsrv {

std::optional<PrivilegeSet> LoadPrivilegeSet(StoreDb& db, int nid) {
  Statement read(db,
                 "SELECT p.CPVG, p.BGRANTORS FROM UUSR u LEFT JOIN SRV_PRIVILEGE p "
                 "ON p.NID = u.NID WHERE u.NID = ?");
  read.Bind(1, std::int64_t{nid});
  if (!read.Row()) return std::nullopt;
  PrivilegeSet set;
  set.marks = read.Text(0);
  const std::string grantors = read.Blob(1);
  set.grantors.assign(set.marks.size(), 0);
  for (std::size_t i = 0; i < set.marks.size() && 4 * i + 4 <= grantors.size(); ++i) {
    set.grantors[i] = static_cast<std::uint32_t>(
        hrz::wire::ReadInt32(reinterpret_cast<const std::uint8_t*>(grantors.data()) + 4 * i));
  }
  return set;
}

bool StorePrivilegeSet(StoreDb& db, int nid, const PrivilegeSet& set) {
  if (set.marks.empty()) {
    Statement remove(db, "DELETE FROM SRV_PRIVILEGE WHERE NID = ?");
    return remove.Bind(1, std::int64_t{nid}).Done();
  }
  std::string grantors(4 * set.grantors.size(), '\0');
  for (std::size_t i = 0; i < set.grantors.size(); ++i) {
    hrz::wire::WriteInt32(reinterpret_cast<std::uint8_t*>(grantors.data()) + 4 * i,
                          static_cast<std::int32_t>(set.grantors[i]));
  }
  Statement write(
      db,
      "INSERT INTO SRV_PRIVILEGE(NID, CPVG, BGRANTORS) VALUES(?, ?, ?) ON CONFLICT(NID) "
      "DO UPDATE SET CPVG = excluded.CPVG, BGRANTORS = excluded.BGRANTORS");
  write.Bind(1, std::int64_t{nid}).Bind(2, set.marks).BindBlob(3, grantors.data(), grantors.size());
  return write.Done();
}

CatalogueCodes ReadCatalogueCodes(StoreDb& db) {
  // SQLite keeps whatever a client wrote into NFNCHR, so only whole numbers count there;
  // PostgreSQL's column holds nothing else.
  Statement read(db, db.kind() == StoreKind::kSqlite
                         ? "SELECT NFNCHR, group_concat(CCODE, ',') FROM UUSRFN WHERE "
                           "typeof(NFNCHR) = 'integer' AND NFNCHR BETWEEN 1 AND ? GROUP BY NFNCHR"
                         : "SELECT NFNCHR, string_agg(CCODE, ',') FROM UUSRFN WHERE "
                           "NFNCHR BETWEEN 1 AND ? GROUP BY NFNCHR");
  read.Bind(1, static_cast<std::int64_t>(hrz::protocol::kMaxPrivilegeMarks));
  CatalogueCodes codes;
  while (read.Row()) codes[static_cast<int>(read.Int(0))] = read.Text(1);
  return codes;
}

}  // namespace hrzsrv
