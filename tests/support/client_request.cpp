#include "support/client_request.h"

#include "hrzcommon/wire.h"

namespace hrztest {

std::string ClientReply::FirstText() const {
  std::string text;
  hrz::wire::BodyReader fields(body);
  fields.NextText(&text);
  return text;
}

ClientReply SendRequest(tagXCliDB* db, hrz::protocol::Kind kind,
                        const std::vector<std::uint8_t>& body) {
  XCliSendLock* lock = XCliDB_LockSendAndWait(db);
  unsigned char header[XCLI_HEADER_SIZE] = {};
  std::vector<unsigned char> reply(8192);
  const int length = XCliDB_SendAndWait1(db, lock, kind.cls, kind.group, kind.code, body.data(),
                                         static_cast<int>(body.size()), header, reply.data(),
                                         static_cast<int>(reply.size()), 0);
  XCliDB_ReleaseSendAndWait(db, lock);
  ClientReply answer;
  if (length == XCLI_SEND_FAILED) return answer;
  answer.status = header[hrz::protocol::kCodeByte];
  answer.body.assign(reply.begin(), reply.begin() + length);
  return answer;
}

}  // namespace hrztest
