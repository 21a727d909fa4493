// The module pdfview.ocx: its self-registration entries and the factory of
// the PDF viewer control.
#include <QtGlobal>
#include <cstdint>
#include <type_traits>

#include "gui/controls/control_interface.h"
#include "gui/controls/pdfview_control.h"
#include "platform/class_registry.h"
#include "platform/loadable_module.h"

// The entries are exported by their plain names; everything else stays hidden.
#define PDFVIEW_ENTRY extern "C" Q_DECL_EXPORT

namespace {

constexpr std::int32_t kFailed = static_cast<std::int32_t>(0x80004005);  // E_FAIL

// This module's own file: the registry points hosts to it.
std::filesystem::path OwnPath() {
  static const char anchor = 0;
  return platform::ModulePathOf(&anchor);
}

}  // namespace

// Records this file as the module of the PDF viewer class for the current user.
PDFVIEW_ENTRY std::int32_t DllRegisterServer() {
  const std::filesystem::path self = OwnPath();
  if (self.empty()) return kFailed;
  return platform::RegisterClassModule(controls::kPdfviewClassId, self) ? 0 : kFailed;
}

// Removes the PDF viewer class from the current user's registry.
PDFVIEW_ENTRY std::int32_t DllUnregisterServer() {
  return platform::UnregisterClassModule(controls::kPdfviewClassId) ? 0 : kFailed;
}

PDFVIEW_ENTRY controls::Control* ZelvoranCreateControl(const char* classId, QWidget* parent) {
  if (!classId || !controls::SameIdentifier(classId, controls::kPdfviewClassId)) return nullptr;
  return new pdfview::PdfviewControl(parent);
}

// The factory's type is the one hosts expect.
static_assert(std::is_same_v<decltype(&ZelvoranCreateControl), controls::CreateControlFunction>);
