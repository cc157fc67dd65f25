#include "hash_helper.h"

#include <sched.h>
#include <signal.h>
#include <sodium.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>

namespace hrzsrv {
namespace {

// Far above any password or hash the engine passes; a longer field means a broken channel.
constexpr std::uint32_t kMaxField = 1 << 16;

bool ReadAll(int fd, void* data, std::size_t size) {
  auto* bytes = static_cast<unsigned char*>(data);
  while (size > 0) {
    const ssize_t got = read(fd, bytes, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    bytes += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t sent = send(fd, bytes, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

// A field on the channel: its length, then its bytes.
void AppendField(std::string* out, const std::string& field) {
  const auto length = static_cast<std::uint32_t>(field.size());
  out->append(reinterpret_cast<const char*>(&length), sizeof length);
  out->append(field);
}

bool ReadField(int fd, std::string* field) {
  std::uint32_t length = 0;
  if (!ReadAll(fd, &length, sizeof length) || length > kMaxField) return false;
  field->resize(length);
  return ReadAll(fd, field->data(), length);
}

// A message on the channel: a byte (the job's kind, or the answer), then two fields.
bool Send(int fd, unsigned char head, const std::string& first, const std::string& second) {
  std::string message(1, static_cast<char>(head));
  AppendField(&message, first);
  AppendField(&message, second);
  const bool sent = WriteAll(fd, message.data(), message.size());
  sodium_memzero(message.data(), message.size());
  return sent;
}

bool Receive(int fd, unsigned char* head, std::string* first, std::string* second) {
  return ReadAll(fd, head, 1) && ReadField(fd, first) && ReadField(fd, second);
}

// SCHED_IDLE runs the helper only when a processor has nothing else to do; where it is not
// allowed, the weakest nice value is the next best.
void LowerThisProcessPriority() {
  sched_param param{};
  if (sched_setscheduler(0, SCHED_IDLE, &param) == 0) return;
  setpriority(PRIO_PROCESS, 0, 19);
}

// The helper's whole life. It was forked from a process with other threads, so it keeps to
// plain system calls, the allocator and libsodium, and leaves by _exit.
[[noreturn]] void ServeJobs(int channel, pid_t server) {
  // Ends with the server's thread that forked it, and never outlives the server.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != server) _exit(0);
  for (int sig = 1; sig < NSIG; ++sig) signal(sig, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  // The server's sockets and store files stay the server's alone.
  if (channel > 3) close_range(3, static_cast<unsigned>(channel) - 1, 0);
  close_range(static_cast<unsigned>(channel) + 1, UINT_MAX, 0);
  LowerThisProcessPriority();
  for (;;) {
    PasswordJob job;
    unsigned char kind = 0;
    if (!Receive(channel, &kind, &job.plain, &job.hash)) _exit(0);
    if (kind != PasswordJob::kMake && kind != PasswordJob::kVerify) _exit(1);
    job.kind = static_cast<PasswordJob::Kind>(kind);
    ComputePasswordJob(job);
    const std::string made = job.kind == PasswordJob::kMake ? job.hash : std::string();
    if (!Send(channel, job.ok ? 1 : 0, made, {})) _exit(0);
  }
}

}  // namespace

PasswordJob::~PasswordJob() {
  sodium_memzero(plain.data(), plain.size());
}

void ComputePasswordJob(PasswordJob& job) {
  if (job.kind == PasswordJob::kMake) {
    char text[crypto_pwhash_STRBYTES];
    job.ok = crypto_pwhash_str_alg(
                 text, job.plain.data(), job.plain.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                 crypto_pwhash_MEMLIMIT_INTERACTIVE, crypto_pwhash_ALG_ARGON2ID13) == 0;
    job.hash = job.ok ? text : "";
    return;
  }
  job.ok = crypto_pwhash_str_verify(job.hash.c_str(), job.plain.data(), job.plain.size()) == 0;
}

HashHelper::~HashHelper() {
  Stop();
}

bool HashHelper::Run(PasswordJob& job) {
  // A helper that died (killed, out of memory) is found at its next job and replaced.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (channel_ < 0 && !Start()) return false;
    if (Exchange(job)) return true;
    Stop();
  }
  return false;
}

bool HashHelper::Start() {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return false;
  const pid_t server = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    close(ends[0]);
    ServeJobs(ends[1], server);
  }
  close(ends[1]);
  if (pid < 0) {
    close(ends[0]);
    return false;
  }
  pid_ = pid;
  channel_ = ends[0];
  return true;
}

void HashHelper::Stop() {
  if (channel_ >= 0) close(channel_);
  channel_ = -1;
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
}

bool HashHelper::Exchange(PasswordJob& job) {
  unsigned char ok = 0;
  std::string hash, unused;
  if (!Send(channel_, job.kind, job.plain, job.hash) || !Receive(channel_, &ok, &hash, &unused)) {
    return false;
  }
  job.ok = ok == 1;
  if (job.kind == PasswordJob::kMake) job.hash = std::move(hash);
  return true;
}

}  // namespace hrzsrv
