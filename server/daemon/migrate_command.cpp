#include "migrate_command.h"

#include <cstdio>
#include <string>

#include "hrzserver/pg_db.h"
#include "hrzserver/pg_store.h"

namespace hrzdaemon {
namespace {

// Tables of at least this many rows report their progress while they are copied.
constexpr std::int64_t kReportEvery = 10000;

}  // namespace

int RunMigrate(int argc, char** argv) {
  std::string from, to;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--from") {
      from = argv[i + 1];
    } else if (option == "--to") {
      to = argv[i + 1];
    } else {
      from.clear();
      break;
    }
  }
  if (argc % 2 != 0 || from.empty() || !hrzsrv::pg::IsPostgresLocation(to)) {
    std::fprintf(stderr, "usage: hrzserver migrate --from PATH --to postgresql://...\n");
    return 2;
  }
  std::int64_t reported = 0;
  const auto progress = [&reported](std::string_view table, std::int64_t copied,
                                    std::int64_t total) {
    if (total < kReportEvery || (copied < total && copied - reported < kReportEvery)) return;
    reported = copied == total ? 0 : copied;
    std::fprintf(stderr, "%.*s: %lld of %lld rows\n", static_cast<int>(table.size()), table.data(),
                 static_cast<long long>(copied), static_cast<long long>(total));
  };
  std::string error;
  if (!hrzsrv::MigrateToPostgres(from, to, progress, &error)) {
    std::fprintf(stderr, "hrzserver: %s\n", error.c_str());
    return 1;
  }
  std::printf("Copied %s to PostgreSQL.\n", from.c_str());
  return 0;
}

}  // namespace hrzdaemon
