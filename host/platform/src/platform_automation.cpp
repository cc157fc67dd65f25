#include "platform_automation.h"

namespace hrz {
namespace {

PlatformAutomation* g_automation = nullptr;  // UI thread only

}  // namespace

PlatformAutomation* SetPlatformAutomation(PlatformAutomation* automation) {
  PlatformAutomation* previous = g_automation;
  g_automation = automation;
  return previous;
}

PlatformAutomation* GetPlatformAutomation() {
  return g_automation;
}

}  // namespace hrz
