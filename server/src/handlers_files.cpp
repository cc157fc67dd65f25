// Files kept by the server: download names and file content.
#include <strings.h>

#include "handlers.h"
#include "store.h"

namespace hrzsrv::handlers {
namespace {

constexpr std::size_t kMaxServerName = 259;

// A stored name: printable, no backslash, no empty or dot-dot segment, no leading "/".
bool IsValidStoredName(std::string_view name) {
  if (name.empty() || name.size() > kMaxServerName || name.front() == '/' || name.back() == '/') {
    return false;
  }
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == '\\') return false;
  }
  return name.find("//") == std::string_view::npos && name.find("..") == std::string_view::npos;
}

// "<client folder>\<file>" (either slash) to "client/<file>"; empty when it is not one.
std::string ClientFileOf(std::string_view path) {
  if (path.size() <= kClientFolder.size() + 1 ||
      strncasecmp(path.data(), kClientFolder.data(), kClientFolder.size()) != 0) {
    return {};
  }
  const char separator = path[kClientFolder.size()];
  if (separator != '\\' && separator != '/') return {};
  std::string_view file = path.substr(kClientFolder.size() + 1);
  if (file.find_first_of("\\/") != std::string_view::npos) return {};
  std::string name = std::string(kClientFilePrefix) + std::string(file);
  return IsValidStoredName(name) ? name : std::string();
}

}  // namespace

Reply DownloadName(Context& context, wire::BodyReader& in) {
  std::string path;
  if (!in.NextText(&path, 1024)) return Reply::BadMessage();
  Reply reply = Reply::Status(protocol::kDownloadNameMissing);
  reply.group = protocol::kDownloadNameGroup;
  const std::string wanted = ClientFileOf(path);
  if (wanted.empty()) return reply;
  Statement read(context.db(), "SELECT CNAME FROM SRV_FILE WHERE CNAME = ? COLLATE NOCASE");
  read.Bind(1, wanted);
  if (!read.Row()) return reply;
  wire::BodyWriter body;
  body.PutText(read.Text(0));
  reply.status = protocol::kDownloadNameOk;
  reply.body = body.Finish();
  return reply;
}

Reply GetFile(Context& context, wire::BodyReader& in) {
  std::string name;
  if (!in.NextText(&name, kMaxServerName)) return Reply::BadMessage();
  Statement read(context.db(), "SELECT BDATA FROM SRV_FILE WHERE CNAME = ?");
  read.Bind(1, name);
  if (!read.Row()) return Reply::Status(protocol::kNotFound);
  wire::BodyWriter body;
  body.PutLong(read.Blob(0));
  return Reply::With(protocol::kOk, body);
}

// Files under the client folder are the administrator's; other names any user may write.
Reply PutFile(Context& context, wire::BodyReader& in) {
  std::string name, data;
  if (!in.NextText(&name, kMaxServerName)) return Reply::BadMessage();
  if (!in.NextLong(&data, protocol::kMaxFileBytes)) {
    return Reply::Status(in.OverLimit() ? protocol::kFileTooLarge : protocol::kBadMessage);
  }
  if (!IsValidStoredName(name)) return Reply::Failure("invalid server file name");
  if (name.starts_with(kClientFilePrefix) && !context.session.IsAdmin()) {
    return Reply::Failure("only the administrator changes client files");
  }
  Statement write(context.db(),
                  "INSERT OR REPLACE INTO SRV_FILE(CNAME, BDATA, DMODI) VALUES(?, ?, ?)");
  write.Bind(1, name).BindBlob(2, data.data(), data.size()).Bind(3, context.Now());
  return write.Done() ? Reply::Status(protocol::kOk) : Reply::Failure("the file was not stored");
}

}  // namespace hrzsrv::handlers
