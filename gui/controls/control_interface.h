#pragma once
// How the program hosts a control that lives in a module file of its own,
// the way an ActiveX host does: the host finds the module of a class
// identifier in the per-user class registry, loads it and calls its factory
// entry, which creates the control inside a parent widget. It then asks the
// control for a dispatch interface by interface identifier and calls the
// interface's members by dispatch identifier.
//
// Host and module are built together with the same compiler and the same Qt,
// so plain C++ objects cross the border. Errors cross as status codes (COM's
// HRESULT values), never as exceptions.
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/ascii_case.h"

class QWidget;

namespace controls {

// An argument or result of a dispatch call. Texts are wide texts (UTF-16),
// as BSTRs are, so a file name of any characters passes unchanged.
using DispatchValue = std::variant<std::monostate, bool, std::int32_t, std::u16string>;

// Status codes, with the values COM gives them.
inline constexpr std::int32_t kOk = 0;
inline constexpr std::int32_t kMemberNotFound = static_cast<std::int32_t>(0x80020003);
inline constexpr std::int32_t kTypeMismatch = static_cast<std::int32_t>(0x80020005);
inline constexpr std::int32_t kBadParamCount = static_cast<std::int32_t>(0x8002000E);

struct DispatchResult {
  std::int32_t status = kOk;
  DispatchValue value;  // the member's result when status is kOk
  std::string message;  // what went wrong otherwise (UTF-8)
};

class DispatchInterface {
 public:
  // Calls member `dispatchId` with `arguments` in declaration order.
  virtual DispatchResult Invoke(std::int32_t dispatchId,
                                const std::vector<DispatchValue>& arguments) = 0;

 protected:
  ~DispatchInterface() = default;  // owned by its control
};

// A control created by a module's factory. The control is a widget: it
// belongs to the parent it was created in and dies with it (or when the host
// deletes widget()); the host never deletes the Control itself.
class Control {
 public:
  virtual QWidget* widget() = 0;
  // The interface with identifier `interfaceId` (letter case aside), or
  // nullptr when the control does not offer it. Valid for the control's life.
  virtual DispatchInterface* QueryInterface(std::string_view interfaceId) = 0;

 protected:
  ~Control() = default;
};

// The factory every control module exports under kCreateControlEntry: creates
// a control of class `classId` in `parent`; nullptr for a class it does not
// implement or when the control cannot be made.
using CreateControlFunction = Control* (*)(const char* classId, QWidget* parent);
inline constexpr const char* kCreateControlEntry = "ZelvoranCreateControl";

// Identifiers are compared like COM compares them: ASCII letters in any case.
inline bool SameIdentifier(std::string_view a, std::string_view b) {
  return ascii::EqualIgnoringCase(a, b);
}

// The PDF viewer control of the module "pdfview.ocx".
inline constexpr const char* kPdfviewClassId = "{433268D7-2CD4-43E6-AA24-2188672E7252}";
// Its default dispatch interface _DPdfview.
inline constexpr const char* kPdfviewInterfaceId = "{284C477D-342D-41E0-A5D1-8A29E4EFEBA0}";
// _DPdfview member 1: open(path, text, text) -> truth value. Shows the
// document at `path`; the other two texts are for options and may be empty.
inline constexpr std::int32_t kPdfviewOpen = 1;

}  // namespace controls
