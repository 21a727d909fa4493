#include "platform/com_apartment.h"

#include <objbase.h>
#include <windows.h>

namespace platform {

ComApartment::ComApartment() {
  // S_FALSE (already initialised in this apartment) counts as success and
  // must be paired with an uninitialisation too.
  initialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

ComApartment::~ComApartment() {
  if (initialised_) CoUninitialize();
}

}  // namespace platform
