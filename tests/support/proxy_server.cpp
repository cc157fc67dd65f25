#include "support/proxy_server.h"

#include <gtest/gtest.h>

#include <mutex>

namespace hrztest {

class ProxyServer::Engine final : public hrzsrv::Engine {
 public:
  Engine(hrzsrv::Engine& real, Script script) : real_(real), script_(std::move(script)) {}

  std::unique_ptr<hrzsrv::Session> NewSession(const std::string& peer,
                                              std::string* error) override {
    std::unique_ptr<hrzsrv::Session> inner = real_.NewSession(peer, error);
    if (!inner) return nullptr;
    return std::make_unique<Session>(*this, std::move(inner));
  }

  std::vector<Frame> Received() const {
    std::lock_guard lock(mutex_);
    return received_;
  }

 private:
  class Session final : public hrzsrv::Session {
   public:
    Session(Engine& engine, std::unique_ptr<hrzsrv::Session> inner)
        : engine_(engine), inner_(std::move(inner)) {}

    Outcome Handle(std::span<const std::uint8_t> frame, bool oneWay) override {
      Frame f{{frame.begin(), frame.begin() + 35}, {frame.begin() + 35, frame.end()}, oneWay};
      if (f.cls() == 1) return inner_->Handle(frame, oneWay);  // hello, logon, logoff
      {
        std::lock_guard lock(engine_.mutex_);
        engine_.received_.push_back(f);
      }
      std::optional<FakeAnswer> answer = engine_.script_(f);
      if (!answer) return inner_->Handle(frame, oneWay);
      Outcome outcome;
      if (answer->action == FakeAnswer::kDrop) {
        outcome.close = true;
      } else if (!oneWay && answer->action == FakeAnswer::kReply) {
        outcome.reply = ReplyFrame(f, *answer);
      }
      return outcome;
    }

    std::uint32_t MaxFrameSize() const override { return inner_->MaxFrameSize(); }
    bool LoggedOn() const override { return inner_->LoggedOn(); }
    void ClientGone() override { inner_->ClientGone(); }

   private:
    Engine& engine_;
    std::unique_ptr<hrzsrv::Session> inner_;
  };

  hrzsrv::Engine& real_;
  Script script_;
  mutable std::mutex mutex_;
  std::vector<Frame> received_;  // guarded by mutex_
};

ProxyServer::ProxyServer(hrzsrv::Engine& engine, Script script)
    : engine_(std::make_unique<Engine>(engine, std::move(script))) {
  std::string error;
  hrzsrv::ServerOptions options;
  options.plain = true;
  server_ = hrzsrv::TcpServer::Start(*engine_, options, &error);
  EXPECT_TRUE(server_) << error;
}

ProxyServer::~ProxyServer() {
  if (server_) server_->Stop();
}

std::string ProxyServer::location() const {
  return "tcp+plain://127.0.0.1:" + std::to_string(server_ ? server_->port() : 0);
}

std::vector<Frame> ProxyServer::Received() const {
  return engine_->Received();
}

}  // namespace hrztest
