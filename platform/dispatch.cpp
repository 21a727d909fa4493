#include "platform/dispatch.h"

#include <stdexcept>

namespace platform {

DispatchRef AsObject(const Variant& value, const std::string& member) {
  if (const DispatchRef* object = std::get_if<DispatchRef>(&value); object && *object)
    return *object;
  throw std::runtime_error("Member " + member + " did not return an object");
}

}  // namespace platform
