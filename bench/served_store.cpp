#include "served_store.h"

#include <cstdlib>

namespace hrzbench {

ServedStore::ServedStore(const std::function<bool(const std::string& path)>& fill)
    : path_(dir_.File("store.db")) {
  char error[256];
  const bool made =
      fill ? fill(path_)
           : XCliDB_CreateStore(path_.c_str(), kServedPassword, 1, error, sizeof error) != 0;
  if (!made) std::abort();
  std::string reason;
  engine_ = hrzsrv::Engine::Open(path_, nullptr, &reason);
  if (!engine_) std::abort();
  hrzsrv::ServerOptions options;
  options.plain = true;
  server_ = hrzsrv::TcpServer::Start(*engine_, options, &reason);
  if (!server_) std::abort();
  tcp_ = "tcp+plain://127.0.0.1:" + std::to_string(server_->port());
}

ServedStore::~ServedStore() {
  server_->Stop();
}

tagXCliDB* LoggedOn(const std::string& location, const char* code, const char* password) {
  char error[256];
  tagXCliDB* db = XCliDB_Open(location.c_str(), error, sizeof error);
  int status = 0;
  if (db == nullptr || !XCliDB_Logon(db, code, password, 1, &status, nullptr, 0)) std::abort();
  return db;
}

}  // namespace hrzbench
