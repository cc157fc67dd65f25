#include "hash_pool.h"

#include <algorithm>
#include <atomic>

namespace hrzsrv {
namespace {

// Hashes waiting beyond these are refused: a client is told the server is busy sooner than
// made to wait for seconds.
constexpr int kMaxWaitingHashes = 64;
constexpr int kMaxHashThreads = 4;

}  // namespace

HashPool::HashPool(int threads, int maxWaiting)
    : maxWaiting_(static_cast<std::size_t>(std::max(0, maxWaiting))) {
  for (int i = 0; i < std::max(1, threads); ++i) threads_.emplace_back([this] { Serve(); });
}

HashPool::~HashPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  ready_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

bool HashPool::Submit(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    if (waiting_.size() >= maxWaiting_) return false;
    waiting_.push_back(std::move(job));
  }
  ready_.notify_one();
  return true;
}

bool HashPool::Run(const std::function<void()>& job) {
  std::mutex doneMutex;
  std::condition_variable doneSignal;
  bool done = false;
  const bool queued = Submit([&] {
    job();
    std::lock_guard lock(doneMutex);
    done = true;
    doneSignal.notify_one();
  });
  if (!queued) return false;
  std::unique_lock lock(doneMutex);
  doneSignal.wait(lock, [&] { return done; });
  return true;
}

// The threads keep the server's priority: they only wait on their helpers, and a thread at
// the lowest priority could be kept off the processors while it holds an allocator lock.
void HashPool::Serve() {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock lock(mutex_);
      ready_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
      if (waiting_.empty()) return;  // stopping, nothing left
      job = std::move(waiting_.front());
      waiting_.pop_front();
    }
    job();
  }
}

namespace {

std::atomic<HashPool*> g_passwordPool{nullptr};

}  // namespace

void HashPasswordsOnPool() {
  static HashPool pool(
      std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, kMaxHashThreads),
      kMaxWaitingHashes);
  g_passwordPool = &pool;
}

bool RunPasswordJob(PasswordJob& job) {
  HashPool* pool = g_passwordPool.load();
  if (pool == nullptr) {
    ComputePasswordJob(job);
    return true;
  }
  bool answered = false;
  const bool ran = pool->Run([&] {
    thread_local HashHelper helper;
    answered = helper.Run(job);
  });
  return ran && answered;
}

}  // namespace hrzsrv
