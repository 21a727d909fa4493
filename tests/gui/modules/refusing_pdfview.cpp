// A control module for the viewer's failure path: it creates a control that
// offers the PDF viewer interface but fails every call made through it.
#include <QWidget>

#include "gui/controls/control_interface.h"

namespace {

class RefusingControl final : public QWidget,
                              public controls::Control,
                              private controls::DispatchInterface {
 public:
  explicit RefusingControl(QWidget* parent) : QWidget(parent) {}
  QWidget* widget() override { return this; }
  controls::DispatchInterface* QueryInterface(std::string_view interfaceId) override {
    return controls::SameIdentifier(interfaceId, controls::kPdfviewInterfaceId) ? this : nullptr;
  }

 private:
  controls::DispatchResult Invoke(std::int32_t,
                                  const std::vector<controls::DispatchValue>&) override {
    return {controls::kMemberNotFound, {}, "member not found"};
  }
};

}  // namespace

extern "C" Q_DECL_EXPORT controls::Control* ZelvoranCreateControl(
    const char*, QWidget* parent) {
  return new RefusingControl(parent);
}
