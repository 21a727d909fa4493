#include "platform/com_apartment.h"

namespace platform {

// No component-object runtime here: the office server is a plain object.
ComApartment::ComApartment() = default;
ComApartment::~ComApartment() = default;

}  // namespace platform
