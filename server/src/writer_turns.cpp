#include "writer_turns.h"

#include <algorithm>
#include <map>

namespace hrzsrv {

std::shared_ptr<WriterTurns> WriterTurns::ForFile(const std::string& path) {
  static std::mutex mutex;
  static std::map<std::string, std::weak_ptr<WriterTurns>> byFile;  // guarded by mutex
  std::lock_guard lock(mutex);
  std::weak_ptr<WriterTurns>& entry = byFile[path];
  if (std::shared_ptr<WriterTurns> turns = entry.lock()) return turns;
  auto turns = std::make_shared<WriterTurns>();
  entry = turns;
  // Files no connection holds any more are forgotten, so the map stays small.
  std::erase_if(byFile, [](const auto& item) { return item.second.expired(); });
  return turns;
}

bool WriterTurns::Take(std::chrono::milliseconds wait) {
  std::unique_lock lock(mutex_);
  if (!held_ && queue_.empty()) {
    held_ = true;
    return true;
  }
  Waiter me;
  queue_.push_back(&me);
  if (me.woken.wait_for(lock, wait, [&] { return me.granted; })) return true;
  queue_.erase(std::find(queue_.begin(), queue_.end(), &me));
  return false;
}

void WriterTurns::Release() {
  std::lock_guard lock(mutex_);
  if (queue_.empty()) {
    held_ = false;
    return;
  }
  // The turn passes straight to the first waiter, so no later writer can take it between.
  Waiter* next = queue_.front();
  queue_.pop_front();
  next->granted = true;
  next->woken.notify_one();
}

std::size_t WriterTurns::Waiting() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

}  // namespace hrzsrv
