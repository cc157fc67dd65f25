// hrzserver migrate: copies an organisation from an SQLite store into PostgreSQL.
#pragma once

namespace hrzdaemon {

// Runs "hrzserver migrate --from FILE --to postgresql://..."; argv[1] is "migrate". Returns
// the exit status.
int RunMigrate(int argc, char** argv);

}  // namespace hrzdaemon
