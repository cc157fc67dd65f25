#include <atomic>
#include <chrono>
#include <system_error>
#include <thread>

#include "platform.h"

std::uintptr_t _beginthread(void (*start)(void*), unsigned, void* arg) {
  static std::atomic<std::uintptr_t> nextId{1};
  if (start == nullptr) return static_cast<std::uintptr_t>(-1);
  try {
    std::thread(start, arg).detach();
  } catch (const std::system_error&) {
    return static_cast<std::uintptr_t>(-1);
  }
  return nextId.fetch_add(1);
}

void Sleep(DWORD milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

LONG InterlockedIncrement(volatile LONG* value) {
  return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST);
}

LONG InterlockedDecrement(volatile LONG* value) {
  return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST);
}
