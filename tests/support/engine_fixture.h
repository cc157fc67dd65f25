// A fixture that drives the engine directly, a frame at a time, on a fresh copy of the
// sample store: no transport, no client.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hrzcommon/protocol.h"
#include "hrzcommon/wire.h"
#include "hrzserver/engine.h"
#include "support/stores.h"
#include "support/temp_dir.h"

namespace hrztest {

// The calendar day yyyymmdd of a moment, as the server's local time has it.
std::string LocalDay(std::time_t when);

struct Answer {
  bool received = false;  // false: no reply came
  bool closed = false;
  std::uint8_t status = 0;
  std::uint8_t group = 0;
  std::vector<std::uint8_t> body;
  hrz::wire::BodyReader Fields() const { return hrz::wire::BodyReader(body); }
  std::string FirstText() const;
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  std::unique_ptr<hrzsrv::Session> NewSession();
  Answer Send(hrzsrv::Session& session, hrz::protocol::Kind kind,
              const std::vector<std::uint8_t>& body, bool oneWay = false);
  Answer SendRaw(hrzsrv::Session& session, const std::vector<std::uint8_t>& frame);
  // plain sealed for session: its nonce and the next sequence number.
  std::string Seal(hrzsrv::Session& session, const std::string& plain);
  // plain sealed with a nonce and sequence number of the test's choosing.
  std::string SealWith(const std::vector<std::uint8_t>& nonce, std::uint32_t sequence,
                       const std::string& plain);
  // The nonce hello gives session.
  std::vector<std::uint8_t> NonceOf(hrzsrv::Session& session);
  // Logon status of code with password on session.
  Answer Logon(hrzsrv::Session& session, const std::string& code, const std::string& password);
  // A session logged on as code.
  std::unique_ptr<hrzsrv::Session> LoggedOn(const std::string& code, const std::string& password);
  // First column of the first row straight from the store file, private tables included.
  std::string StoreText(const std::string& sql);

  TempDir dir_;
  std::string path_;
  std::shared_ptr<FakeClock> clock_ = std::make_shared<FakeClock>();
  std::unique_ptr<hrzsrv::Engine> engine_;
  std::vector<std::uint8_t> publicKey_;
  std::map<const hrzsrv::Session*, std::uint32_t> sequences_;  // the last one sealed for each
};

}  // namespace hrztest
