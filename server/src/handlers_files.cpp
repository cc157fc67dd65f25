// Files kept by the server: download and upload names and file content.
#include <algorithm>
#include <cctype>

#include "accounts.h"
#include "audit.h"
#include "handlers.h"
#include "hrzcommon/text.h"
#include "rights.h"
#include "store.h"

namespace hrzsrv::handlers {
namespace {

constexpr std::size_t kMaxServerName = 259;
constexpr std::size_t kMaxExtension = 16;
// The columns that reference a user's signature files, as the store spells them.
constexpr std::string_view kSignatureColumns[] = {"CBMPSG", "CDWGSG"};
// Where signature uploads are filed: "sign/<user NID>/<column>.<extension>".
constexpr std::string_view kSignaturePrefix = "sign/";
// The function privilege that lets a user read the signatures of its departments and roles.
constexpr std::string_view kViewOthersSignCode = "XUPDEPTSGN";

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
  if (path.size() <= kClientFolder.size() + 1 || !hrz::StartsWithNoCase(path, kClientFolder)) {
    return {};
  }
  const char separator = path[kClientFolder.size()];
  if (separator != '\\' && separator != '/') return {};
  std::string_view file = path.substr(kClientFolder.size() + 1);
  if (file.find_first_of("\\/") != std::string_view::npos) return {};
  std::string name = std::string(kClientFilePrefix) + std::string(file);
  return IsValidStoredName(name) ? name : std::string();
}

bool IsPlainExtension(std::string_view extension) {
  return std::all_of(extension.begin(), extension.end(),
                     [](unsigned char c) { return std::isalnum(c) != 0; });
}

// The store's spelling of a signature column named in any case; empty when it is none.
std::string_view SignatureColumn(std::string_view column) {
  for (std::string_view known : kSignatureColumns) {
    if (hrz::EqualsNoCase(column, known)) return known;
  }
  return {};
}

// Whether the two records hang under one department or role (a common parent link).
bool ShareDepartmentOrRole(StoreDb& db, int first, int second) {
  Statement shared(db,
                   "SELECT 1 FROM UUSRBM a JOIN UUSRBM b ON b.NPID = a.NPID "
                   "JOIN UUSR p ON p.NID = a.NPID WHERE a.NCID = ? AND b.NCID = ? "
                   "AND upper(trim(p.CSRC)) IN ('UDEPT', 'UROLE') LIMIT 1");
  shared.Bind(1, std::int64_t{first}).Bind(2, std::int64_t{second});
  return shared.Row();
}

// Who may read a user's signature: the user, the administrator, and a user who shares a
// department or role with it and holds "XUPDEPTSGN" (modify).
bool MayReadSignatureOf(Context& context, int nid) {
  const Rights rights = RightsOf(context.db(), context.session);
  if (rights.userNid < 1) return false;
  if (rights.admin || nid == rights.userNid) return true;
  if (!ShareDepartmentOrRole(context.db(), rights.userNid, nid)) return false;
  return PrivilegeOf(context.db(), rights.userNid, kViewOthersSignCode)
      .value_or(PrivilegeFlags{})
      .modify;
}

}  // namespace

Reply DownloadName(Context& context, wire::BodyReader& in) {
  std::string path;
  if (!in.NextText(&path, 1024)) return Reply::BadMessage();
  Reply reply = Reply::Status(protocol::kDownloadNameMissing);
  reply.group = protocol::kDownloadNameGroup;
  const std::string wanted = ClientFileOf(path);
  if (wanted.empty()) return reply;
  Statement read(context.db(), "SELECT CNAME FROM SRV_FILE WHERE lower(CNAME) = lower(?)");
  read.Bind(1, wanted);
  if (!read.Row()) return reply;
  const std::string name = read.Text(0);
  context.session.readableFiles.insert(name);
  wire::BodyWriter body;
  body.PutText(name);
  reply.status = protocol::kDownloadNameOk;
  reply.body = body.Finish();
  return reply;
}

// The administrator reads every server file; anyone else only the names this session was
// given (download name, stored name, upload name).
Reply GetFile(Context& context, wire::BodyReader& in) {
  std::string name;
  if (!in.NextText(&name, kMaxServerName)) return Reply::BadMessage();
  if (!context.session.IsAdmin() && !context.session.readableFiles.contains(name)) {
    constexpr std::string_view reason = "not a file named for this session";
    WriteAudit(context, {audit::kRefused, "get file", -1, name, reason});
    return Reply::Failure(reason);
  }
  Statement read(context.db(), "SELECT BDATA FROM SRV_FILE WHERE CNAME = ?");
  read.Bind(1, name);
  if (!read.Row()) return Reply::Status(protocol::kNotFound);
  wire::BodyWriter body;
  body.PutLong(read.Blob(0));
  return Reply::With(protocol::kOk, body);
}

// Names the file of a signature upload and lets this session put that file: a user for its
// own row, the administrator for any user's. The column takes the name when the file comes.
Reply UploadName(Context& context, wire::BodyReader& in) {
  std::string table, column, extension;
  std::int32_t nid = 0;
  if (!in.NextText(&table, 32) || !in.NextText(&column, 32) || !in.NextInt32(&nid) ||
      !in.NextText(&extension, kMaxExtension)) {
    return Reply::BadMessage();
  }
  const std::string_view stored = SignatureColumn(column);
  if (!hrz::EqualsNoCase(table, "UUSR") || stored.empty() || !IsPlainExtension(extension)) {
    return Reply::Failure("not a signature upload");
  }
  if (nid != context.session.userNid && !context.session.IsAdmin()) {
    constexpr std::string_view reason = "only the administrator stores another user's signature";
    WriteAudit(context, {audit::kRefused, "upload name", nid, stored, reason});
    return Reply::Failure(reason);
  }
  if (!FindAccountByNid(context.db(), nid)) return Reply::Failure("no such user");
  std::string name =
      std::string(kSignaturePrefix) + std::to_string(nid) + "/" + std::string(stored);
  if (!extension.empty()) name += "." + extension;
  context.session.issuedFiles[name] = {nid, std::string(stored)};
  context.session.readableFiles.insert(name);
  wire::BodyWriter body;
  body.PutText(name);
  return Reply::With(protocol::kUploadNameOk, body);
}

// Names the stored file of a user's signature for a download: only to a session that may
// read that user's signatures.
Reply StoredName(Context& context, wire::BodyReader& in) {
  std::string table, column;
  std::int32_t nid = 0;
  if (!in.NextText(&table, 32) || !in.NextText(&column, 32) || !in.NextInt32(&nid)) {
    return Reply::BadMessage();
  }
  const std::string_view stored = SignatureColumn(column);
  if (!hrz::EqualsNoCase(table, "UUSR") || stored.empty()) {
    return Reply::Failure("not a signature column");
  }
  if (!MayReadSignatureOf(context, nid)) {
    constexpr std::string_view reason = "this user's signatures are not for this session";
    WriteAudit(context, {audit::kRefused, "stored name", nid, stored, reason});
    return Reply::Failure(reason);
  }
  Statement read(context.db(), "SELECT trim(" + std::string(stored) + ") FROM UUSR WHERE NID = ?");
  read.Bind(1, std::int64_t{nid});
  if (!read.Row() || read.IsNull(0) || read.Text(0).empty()) {
    return Reply::Status(protocol::kNotFound);
  }
  const std::string name = read.Text(0);
  context.session.readableFiles.insert(name);
  wire::BodyWriter body;
  body.PutText(name);
  return Reply::With(protocol::kFileNameGiven, body);
}

// The administrator writes every server file, the clients' configuration files among them;
// anyone else only the uploads named for it in this session.
Reply PutFile(Context& context, wire::BodyReader& in) {
  std::string name, data;
  if (!in.NextText(&name, kMaxServerName)) return Reply::BadMessage();
  if (!in.NextLong(&data, protocol::kMaxFileBytes)) {
    return Reply::Status(in.OverLimit() ? protocol::kFileTooLarge : protocol::kBadMessage);
  }
  if (!IsValidStoredName(name)) return Reply::Failure("invalid server file name");
  if (name.starts_with(kSignaturePrefix) && data.size() > protocol::kMaxSignatureBytes) {
    return Reply::Status(protocol::kFileTooLarge);
  }
  const auto issued = context.session.issuedFiles.find(name);
  if (!context.session.IsAdmin() && issued == context.session.issuedFiles.end()) {
    constexpr std::string_view reason = "not a file named for this session's uploads";
    WriteAudit(context, {audit::kRefused, "put file", -1, name, reason});
    return Reply::Failure(reason);
  }
  StoreDb& db = context.db();
  Transaction tx(db);
  Statement write(db,
                  "INSERT INTO SRV_FILE(CNAME, BDATA, DMODI) VALUES(?, ?, ?) ON CONFLICT(CNAME) "
                  "DO UPDATE SET BDATA = excluded.BDATA, DMODI = excluded.DMODI");
  write.Bind(1, name).BindBlob(2, data.data(), data.size()).Bind(3, context.Now());
  bool recorded = true;
  // A signature's row names its file only once the file is there: a failed transfer leaves
  // the reference it had.
  if (issued != context.session.issuedFiles.end()) {
    Statement record(db, "UPDATE UUSR SET " + issued->second.column + " = ? WHERE NID = ?");
    record.Bind(1, name).Bind(2, std::int64_t{issued->second.nid});
    recorded = record.Done();
  }
  if (!tx.ok() || !write.Done() || !recorded || !tx.Commit()) {
    return Reply::Failure("the file was not stored");
  }
  return Reply::Status(protocol::kOk);
}

}  // namespace hrzsrv::handlers
