#include "hrzserver/engine.h"
#include "transport.h"

namespace hrzdb {
namespace {

// Runs each frame through a session of its own engine on the caller's thread; a time-out
// cannot happen because the reply is ready when Handle returns.
class EmbeddedTransport final : public Transport {
 public:
  EmbeddedTransport(std::unique_ptr<hrzsrv::Engine> engine,
                    std::unique_ptr<hrzsrv::Session> session)
      : engine_(std::move(engine)), session_(std::move(session)) {}

  bool Exchange(std::span<const std::uint8_t> frame, bool oneWay, std::vector<std::uint8_t>* reply,
                int) override {
    if (!session_) return false;
    hrzsrv::Session::Outcome outcome = session_->Handle(frame, oneWay);
    if (outcome.close) session_.reset();
    if (oneWay) return session_ != nullptr;
    if (outcome.reply.empty()) return false;
    *reply = std::move(outcome.reply);
    return true;
  }

  bool IsOpen() const override { return session_ != nullptr; }

 private:
  std::unique_ptr<hrzsrv::Engine> engine_;
  std::unique_ptr<hrzsrv::Session> session_;
};

}  // namespace

std::unique_ptr<Transport> OpenEmbeddedTransport(const std::string& path, std::string* error) {
  std::unique_ptr<hrzsrv::Engine> engine = hrzsrv::Engine::Open(path, nullptr, error);
  if (!engine) return nullptr;
  std::unique_ptr<hrzsrv::Session> session = engine->NewSession("embedded", error);
  if (!session) return nullptr;
  return std::make_unique<EmbeddedTransport>(std::move(engine), std::move(session));
}

}  // namespace hrzdb
