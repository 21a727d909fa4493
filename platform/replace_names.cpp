#include "platform/replace_names.h"

#include <mutex>
#include <set>

namespace platform::replace_names {
namespace {

std::mutex& InFlightMutex() {
  static std::mutex mutex;
  return mutex;
}
std::set<std::string>& InFlight() {
  static std::set<std::string> names;
  return names;
}

}  // namespace

InFlightName::InFlightName(std::string name) : name_(std::move(name)) {
  std::lock_guard lock(InFlightMutex());
  InFlight().insert(name_);
}

InFlightName::~InFlightName() {
  std::lock_guard lock(InFlightMutex());
  InFlight().erase(name_);
}

bool InFlightName::IsInFlight(const std::string& name) {
  std::lock_guard lock(InFlightMutex());
  return InFlight().contains(name);
}

}  // namespace platform::replace_names
