#include "support/fake_server.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "hrzcommon/protocol.h"

namespace hrztest {

std::vector<std::uint8_t> Text(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::vector<std::uint8_t> Int32(std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
          static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

std::vector<std::uint8_t> Fields(std::initializer_list<std::vector<std::uint8_t>> fields) {
  std::vector<std::uint8_t> body;
  for (const auto& f : fields) {
    body.push_back(static_cast<std::uint8_t>(f.size() & 0xff));
    body.push_back(static_cast<std::uint8_t>(f.size() >> 8));
    body.insert(body.end(), f.begin(), f.end());
  }
  body.push_back(0xff);
  body.push_back(0x7f);
  return body;
}

class FakeServer::Engine final : public hrzsrv::Engine {
 public:
  Engine(Script script, std::string code) : script_(std::move(script)), code_(std::move(code)) {
    crypto_box_keypair(publicKey.data(), secretKey.data());
    randombytes_buf(nonce.data(), nonce.size());
  }

  std::unique_ptr<hrzsrv::Session> NewSession(const std::string&, std::string*) override {
    return std::make_unique<FakeSession>(*this);
  }

  std::vector<Frame> Received() const {
    std::lock_guard lock(mutex_);
    return received_;
  }

  std::array<unsigned char, crypto_box_PUBLICKEYBYTES> publicKey{};
  std::array<unsigned char, crypto_box_SECRETKEYBYTES> secretKey{};
  std::array<unsigned char, hrz::protocol::kSealNonceSize> nonce{};  // every session's

 private:
  class FakeSession final : public hrzsrv::Session {
   public:
    explicit FakeSession(Engine& engine) : engine_(engine) {}
    Outcome Handle(std::span<const std::uint8_t> frame, bool oneWay) override {
      Frame f{{frame.begin(), frame.begin() + 35}, {frame.begin() + 35, frame.end()}, oneWay};
      Outcome outcome;
      FakeAnswer answer;
      if (f.cls() == 1 && f.group() == 2 && f.code() == 1) {
        answer.status = 1;
        answer.body =
            Fields({std::vector<std::uint8_t>(engine_.publicKey.begin(), engine_.publicKey.end()),
                    Text("\\\\fake\\client"), Int32(hrz::protocol::kProtocolVersion),
                    std::vector<std::uint8_t>(engine_.nonce.begin(), engine_.nonce.end())});
      } else if (f.cls() == 1 && f.group() == 1 && f.code() == 1) {
        loggedOn_ = true;
        answer.status = 31;
        answer.body = Fields({Int32(1), Text(engine_.code_)});
      } else if (f.cls() == 1 && f.group() == 1 && f.code() == 2) {
        answer.status = 1;
      } else {
        {
          std::lock_guard lock(engine_.mutex_);
          engine_.received_.push_back(f);
        }
        answer = engine_.script_(f);
      }
      if (answer.delayMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(answer.delayMs));
      }
      if (answer.action == FakeAnswer::kDrop) {
        outcome.close = true;
        return outcome;
      }
      if (oneWay || answer.action == FakeAnswer::kNone) return outcome;
      outcome.reply = f.header;
      outcome.reply[6] = answer.status;
      if (answer.group >= 0) outcome.reply[5] = static_cast<std::uint8_t>(answer.group);
      outcome.reply.insert(outcome.reply.end(), answer.body.begin(), answer.body.end());
      return outcome;
    }

    std::uint32_t MaxFrameSize() const override { return hrz::protocol::kMaxFrameSize; }
    bool LoggedOn() const override { return loggedOn_; }

   private:
    Engine& engine_;
    bool loggedOn_ = false;
  };

  Script script_;
  std::string code_;
  mutable std::mutex mutex_;
  std::vector<Frame> received_;  // guarded by mutex_
};

FakeServer::FakeServer(Script script, std::string loggedOnCode)
    : engine_(std::make_unique<Engine>(std::move(script), std::move(loggedOnCode))) {
  std::string error;
  hrzsrv::ServerOptions options;
  options.plain = true;
  server_ = hrzsrv::TcpServer::Start(*engine_, options, &error);
  EXPECT_TRUE(server_) << error;
}

FakeServer::~FakeServer() {
  if (server_) server_->Stop();
}

std::string FakeServer::location() const {
  return "tcp+plain://127.0.0.1:" + std::to_string(server_ ? server_->port() : 0);
}

std::vector<Frame> FakeServer::Received() const {
  return engine_->Received();
}

bool FakeServer::OpenSealed(const std::vector<std::uint8_t>& field, std::string* plain) const {
  std::vector<unsigned char> sealed(field.size());
  std::size_t length = 0;
  if (sodium_base642bin(sealed.data(), sealed.size(), reinterpret_cast<const char*>(field.data()),
                        field.size(), nullptr, &length, nullptr,
                        sodium_base64_VARIANT_ORIGINAL_NO_PADDING) != 0 ||
      length < crypto_box_SEALBYTES + hrz::protocol::kSealPrefixSize) {
    return false;
  }
  std::vector<unsigned char> opened(length - crypto_box_SEALBYTES);
  if (crypto_box_seal_open(opened.data(), sealed.data(), length, engine_->publicKey.data(),
                           engine_->secretKey.data()) != 0 ||
      !std::equal(engine_->nonce.begin(), engine_->nonce.end(), opened.begin())) {
    return false;
  }
  plain->assign(opened.begin() + hrz::protocol::kSealPrefixSize, opened.end());
  return true;
}

}  // namespace hrztest
