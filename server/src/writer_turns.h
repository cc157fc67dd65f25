// Writers of one process to one store file take turns in the order they came: a writer
// waiting for another sleeps until the other hands the turn over, instead of polling the
// file's write lock in steps. Writers of other processes still meet that lock.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace hrzsrv {

class WriterTurns {
 public:
  // The turns of the store file at path, shared by every connection of this process to it.
  static std::shared_ptr<WriterTurns> ForFile(const std::string& path);

  // Waits for the caller's turn; false when it has not come within wait, and the caller has
  // then left the queue.
  bool Take(std::chrono::milliseconds wait);
  // Ends the caller's turn and hands it to the writer that waited longest.
  void Release();
  std::size_t Waiting() const;

 private:
  struct Waiter {
    std::condition_variable woken;
    bool granted = false;
  };

  mutable std::mutex mutex_;
  bool held_ = false;          // guarded by mutex_
  std::deque<Waiter*> queue_;  // guarded by mutex_; the first came first
};

}  // namespace hrzsrv
