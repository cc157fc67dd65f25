// A scripted server behind the real TCP listener (plain TCP on loopback): it greets, logs
// anyone on, records every other frame and answers it as the test says, so request bytes
// can be checked exactly.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "hrzserver/engine.h"
#include "hrzserver/tcp_server.h"

namespace hrztest {

struct Frame {
  std::vector<std::uint8_t> header;  // 35 bytes
  std::vector<std::uint8_t> body;
  bool oneWay = false;
  int cls() const { return header[4]; }
  int group() const { return header[5]; }
  int code() const { return header[6]; }
};

struct FakeAnswer {
  enum Action { kReply, kDrop, kNone } action = kReply;
  std::uint8_t status = 0;
  int group = -1;                  // reply group; the request's when negative
  std::vector<std::uint8_t> body;  // sent as it is
  int delayMs = 0;                 // the server thinks this long before answering
  // The server closes the connection instead of answering.
  static FakeAnswer Drop() {
    FakeAnswer answer;
    answer.action = kDrop;
    return answer;
  }
};

// Fields and terminator, as the server would build them.
std::vector<std::uint8_t> Fields(std::initializer_list<std::vector<std::uint8_t>> fields);
std::vector<std::uint8_t> Text(const std::string& text);
std::vector<std::uint8_t> Int32(std::int32_t value);

class FakeServer {
 public:
  using Script = std::function<FakeAnswer(const Frame&)>;
  // loggedOnCode: the user code the fake logon reports.
  FakeServer(Script script, std::string loggedOnCode = "adm");
  ~FakeServer();
  std::string location() const;
  std::vector<Frame> Received() const;
  // Opens base64 text sealed to this server's key for its connections; false when it is not.
  bool OpenSealed(const std::vector<std::uint8_t>& field, std::string* plain) const;

 private:
  class Engine;
  std::unique_ptr<Engine> engine_;
  std::unique_ptr<hrzsrv::TcpServer> server_;
};

}  // namespace hrztest
