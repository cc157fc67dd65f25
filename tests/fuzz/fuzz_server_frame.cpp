// Feeds arbitrary frames to a logged-on engine session: a frame prefix, then the frame.
// Every input must end in a reply or a clean close, never a crash, and the store must
// stay readable.
#include <unistd.h>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "hrzserver/engine.h"
#include "hrzserver/protocol.h"
#include "hrzserver/wire.h"

namespace {

struct Fixture {
  Fixture() {
    std::string pattern = (std::filesystem::temp_directory_path() / "fuzzframe-XXXXXX").string();
    dir = ::mkdtemp(pattern.data());
    const std::string path = dir + "/store.db";
    std::string error;
    if (!hrzsrv::CreateStore(path, "", &error)) std::abort();
    engine = hrzsrv::Engine::Open(path, nullptr, &error);
    if (!engine) std::abort();
  }
  ~Fixture() { std::filesystem::remove_all(dir); }
  std::string dir;
  std::unique_ptr<hrzsrv::Engine> engine;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Fixture fixture;
  namespace p = hrzsrv::protocol;
  std::string error;
  std::unique_ptr<hrzsrv::Session> session = fixture.engine->NewSession("fuzz", &error);
  if (!session) return 0;
  // Walk the input as a stream of frames, as the TCP listener does.
  while (size >= p::kFramePrefixSize) {
    std::uint8_t prefix[p::kFramePrefixSize];
    std::memcpy(prefix, data, sizeof prefix);
    data += sizeof prefix;
    size -= sizeof prefix;
    hrzsrv::wire::FramePrefix decoded;
    if (!hrzsrv::wire::DecodeFramePrefix(prefix, &decoded) || decoded.length > size) break;
    hrzsrv::Session::Outcome outcome =
        session->Handle({data, decoded.length}, (decoded.flags & p::kFlagOneWay) != 0);
    data += decoded.length;
    size -= decoded.length;
    if (outcome.close) break;
  }
  return 0;
}
