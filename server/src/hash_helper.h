// Argon2id in a process of its own. Each hash maps, fills and unmaps 64 MiB; done inside the
// server, a hash thread at the lowest priority would hold the server's address-space lock
// while it waits for a processor, and every server thread that grows its heap would wait
// with it. A helper has an address space of its own, so only the helper waits.
#pragma once

#include <sys/types.h>

#include <string>

namespace hrzsrv {

// One password hash: a new Argon2id string of plain, or a check of plain against hash.
struct PasswordJob {
  enum Kind : unsigned char { kMake = 1, kVerify = 2 };
  Kind kind = kVerify;
  std::string plain;
  std::string hash;  // kVerify: the hash to check; kMake: the new hash once made
  bool ok = false;   // kMake: made; kVerify: plain matches hash
  ~PasswordJob();    // the password does not stay in memory
};

// Computes job on this thread.
void ComputePasswordJob(PasswordJob& job);

// One helper process, forked on first use, that computes jobs one at a time at the lowest
// CPU priority. Used by one thread at a time.
class HashHelper {
 public:
  HashHelper() = default;
  ~HashHelper();  // the helper ends when its channel closes
  HashHelper(const HashHelper&) = delete;
  HashHelper& operator=(const HashHelper&) = delete;

  // Has the helper compute job and waits for it. A helper that has died is replaced once;
  // false when no helper could answer, and job is left as it was.
  bool Run(PasswordJob& job);
  // The helper's process id; -1 before the first job and after it has been found dead.
  pid_t pid() const { return pid_; }

 private:
  bool Start();
  void Stop();
  bool Exchange(PasswordJob& job);

  pid_t pid_ = -1;
  int channel_ = -1;
};

}  // namespace hrzsrv
