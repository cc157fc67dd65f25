#include <gtest/gtest.h>

#include <atomic>

#include "platform.h"

namespace {

struct Shared {
  volatile LONG counter = 0;
  std::atomic<int> finished{0};
};

void Worker(void* arg) {
  auto* shared = static_cast<Shared*>(arg);
  for (int i = 0; i < 10000; ++i) {
    InterlockedIncrement(&shared->counter);
    InterlockedDecrement(&shared->counter);
    InterlockedIncrement(&shared->counter);
  }
  shared->finished.fetch_add(1);
}

TEST(Threads, WorkersCountTogetherWithoutLosingUpdates) {
  Shared shared;
  for (int i = 0; i < 4; ++i) {
    ASSERT_NE(_beginthread(Worker, 0, &shared), static_cast<std::uintptr_t>(-1));
  }
  // Detached threads: poll for them the way the statistics window polls its worker.
  while (shared.finished.load() < 4) Sleep(1);
  EXPECT_EQ(shared.counter, 40000);
}

TEST(Threads, IncrementAndDecrementReturnTheNewValue) {
  volatile LONG value = 5;
  EXPECT_EQ(InterlockedIncrement(&value), 6);
  EXPECT_EQ(InterlockedDecrement(&value), 5);
  EXPECT_EQ(_beginthread(nullptr, 0, nullptr), static_cast<std::uintptr_t>(-1));
}

}  // namespace
