// Threads of their own for Argon2id hashes, so that a burst of logons holds up no other
// request. Bounded twice: a few threads (each hash holds 64 MiB) and a limit on the hashes
// waiting for one. Each thread hands its hashes to a helper process at the lowest CPU
// priority (hash_helper.h) and only waits for it.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "hash_helper.h"

namespace hrzsrv {

class HashPool {
 public:
  HashPool(int threads, int maxWaiting);
  ~HashPool();  // runs what waits, then ends its threads
  HashPool(const HashPool&) = delete;
  HashPool& operator=(const HashPool&) = delete;

  // Queues job for a pool thread; false, and job is not run, when maxWaiting jobs already
  // wait for a thread.
  bool Submit(std::function<void()> job);
  // Runs job on a pool thread and waits for it; false when the pool is full.
  bool Run(const std::function<void()>& job);

 private:
  void Serve();

  const std::size_t maxWaiting_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> waiting_;  // guarded by mutex_
  bool stopping_ = false;                      // guarded by mutex_
  std::vector<std::thread> threads_;
};

// From the first call on, the process's password hashes run in helper processes, one for each
// thread of a pool of a thread per core (at most four). A server that listens calls it; until
// then (store creation, an engine inside a client) a hash runs on its caller's thread at the
// caller's priority.
void HashPasswordsOnPool();
// Computes job in a helper when the pool is in use and waits, else at once on this thread;
// false when the pool is full or no helper could answer, and job was not computed.
bool RunPasswordJob(PasswordJob& job);

}  // namespace hrzsrv
