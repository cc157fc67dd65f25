// Feeds arbitrary frames to a logged-on engine session: a frame prefix, then the frame,
// as the TCP listener reads them. Every input must end in replies or a clean close, never
// a crash. The session stays logged on as "adm" across inputs (session kinds of class 1
// are skipped), so the fuzzer reaches every handler without paying for a logon each time.
#include <sodium.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "hrzcommon/protocol.h"
#include "hrzcommon/wire.h"
#include "hrzserver/engine.h"

namespace {

namespace p = hrz::protocol;
namespace wire = hrz::wire;

std::vector<std::uint8_t> Request(p::Kind kind, const wire::Bytes& body) {
  std::vector<std::uint8_t> frame(p::kHeaderSize, 0);
  frame[p::kClassByte] = kind.cls;
  frame[p::kGroupByte] = kind.group;
  frame[p::kCodeByte] = kind.code;
  frame.insert(frame.end(), body.begin(), body.end());
  return frame;
}

struct Fixture {
  Fixture() {
    std::string pattern = (std::filesystem::temp_directory_path() / "fuzzframe-XXXXXX").string();
    dir = ::mkdtemp(pattern.data());
    const std::string path = dir + "/store.db";
    std::string error;
    if (!hrzsrv::CreateStore(path, "", &error)) std::abort();
    engine = hrzsrv::Engine::Open(path, nullptr, &error);
    if (!engine) std::abort();
    session = engine->NewSession("fuzz", &error);
    if (!session) std::abort();
    // Hello for the key and the nonce, then the logon with the empty password sealed to
    // them (sequence number 1).
    hrzsrv::Session::Outcome hello = session->Handle(Request(p::kHello, {}), false);
    wire::BodyReader fields(
        {hello.reply.data() + p::kHeaderSize, hello.reply.size() - p::kHeaderSize});
    std::span<const std::uint8_t> key, nonce;
    std::string folder;
    std::int32_t version = 0;
    if (!fields.Next(&key) || key.size() != crypto_box_PUBLICKEYBYTES ||
        !fields.NextText(&folder) || !fields.NextInt32(&version) || !fields.Next(&nonce) ||
        nonce.size() != p::kSealNonceSize) {
      std::abort();
    }
    unsigned char opened[p::kSealPrefixSize] = {};
    std::memcpy(opened, nonce.data(), nonce.size());
    opened[p::kSealNonceSize] = 1;
    unsigned char sealed[crypto_box_SEALBYTES + sizeof opened];
    crypto_box_seal(sealed, opened, sizeof opened, key.data());
    char text[128];
    sodium_bin2base64(text, sizeof text, sealed, sizeof sealed, sodium_base64_VARIANT_ORIGINAL);
    wire::BodyWriter logon;
    logon.PutText("adm");
    logon.PutText(text);
    logon.PutInt32(1);
    hrzsrv::Session::Outcome answer = session->Handle(Request(p::kLogon, logon.Finish()), false);
    if (answer.reply.size() < p::kHeaderSize || answer.reply[p::kCodeByte] != p::kLogonOk) {
      std::abort();
    }
  }
  ~Fixture() {
    session.reset();
    engine.reset();
    std::filesystem::remove_all(dir);
  }
  std::string dir;
  std::unique_ptr<hrzsrv::Engine> engine;
  std::unique_ptr<hrzsrv::Session> session;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Fixture fixture;
  while (size >= p::kFramePrefixSize) {
    std::uint8_t prefix[p::kFramePrefixSize];
    std::memcpy(prefix, data, sizeof prefix);
    data += sizeof prefix;
    size -= sizeof prefix;
    wire::FramePrefix decoded;
    if (!wire::DecodeFramePrefix(prefix, &decoded) || decoded.length > size) break;
    // A copy of exactly the frame, so a read past it is caught.
    const std::vector<std::uint8_t> frame(data, data + decoded.length);
    data += decoded.length;
    size -= decoded.length;
    if (frame[p::kClassByte] == 1) continue;
    hrzsrv::Session::Outcome outcome =
        fixture.session->Handle(frame, (decoded.flags & p::kFlagOneWay) != 0);
    if (!outcome.reply.empty() && outcome.reply.size() < p::kHeaderSize) __builtin_trap();
    if (outcome.close) break;
  }
  return 0;
}
