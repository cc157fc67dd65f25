// A store in a temporary folder, served in process over plain TCP on loopback for the whole
// run: what the benches that talk to the server share. What TLS adds is measured by
// channel_bench.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "hrzserver/engine.h"
#include "hrzserver/tcp_server.h"
#include "support/temp_dir.h"
#include "xclidb.h"

namespace hrzbench {

// The administrator's password of every served store.
inline constexpr const char* kServedPassword = "bench-pw";

class ServedStore {
 public:
  // fill creates the store at the path it is given; the default is the sample store.
  // Aborts when the store cannot be made or served.
  explicit ServedStore(const std::function<bool(const std::string& path)>& fill = {});
  ~ServedStore();
  ServedStore(const ServedStore&) = delete;
  ServedStore& operator=(const ServedStore&) = delete;

  const std::string& path() const { return path_; }  // for in-process clients and SQLite
  const std::string& tcp() const { return tcp_; }    // "tcp+plain://127.0.0.1:port"

 private:
  hrztest::TempDir dir_;
  std::string path_, tcp_;
  std::unique_ptr<hrzsrv::Engine> engine_;
  std::unique_ptr<hrzsrv::TcpServer> server_;
};

// A connection to location logged on as code; aborts when that fails.
tagXCliDB* LoggedOn(const std::string& location, const char* code = "adm",
                    const char* password = kServedPassword);

}  // namespace hrzbench
