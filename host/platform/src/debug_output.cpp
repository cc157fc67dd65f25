#include <cstdio>
#include <cstdlib>

#include "platform.h"

void OutputDebugStringA(const char* text) {
  if (text == nullptr || std::getenv("HRZ_DEBUG_OUTPUT") == nullptr) return;
  std::fputs(text, stderr);
}
