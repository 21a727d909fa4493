#include "platform/dispatch.h"

#include <stdexcept>
#include <utility>

namespace platform {

DispatchRef AsObject(const Variant& value, const std::string& member) {
  if (const DispatchRef* object = std::get_if<DispatchRef>(&value); object && *object)
    return *object;
  throw std::runtime_error("Member " + member + " did not return an object");
}

namespace {
std::function<void()>& IdleFunction() {
  static std::function<void()> idle;
  return idle;
}
}  // namespace

void AutomationIdle() {
  // A copy: the function may end its own scope's successor while it runs.
  if (const std::function<void()> idle = IdleFunction()) idle();
}

AutomationIdleScope::AutomationIdleScope(std::function<void()> idle)
    : previous_(std::exchange(IdleFunction(), std::move(idle))) {}

AutomationIdleScope::~AutomationIdleScope() { IdleFunction() = std::move(previous_); }

}  // namespace platform
