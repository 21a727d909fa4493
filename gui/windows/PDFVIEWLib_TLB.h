#pragma once
// TPdfview: the host side of the PDF viewer control. Creating one creates the
// control of class {433268D7-2CD4-43E6-AA24-2188672E7252} inside it, through
// the per-user class registry: the module recorded for the class is loaded
// and its factory called. The control fills the wrapper. Its default dispatch
// interface _DPdfview is asked for on first use and kept.
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "gui/controls/control_interface.h"

class TPdfview : public QWidget {
  Q_OBJECT

 public:
  // Throws std::runtime_error (CP936 message) when the class is not
  // registered, or its module is missing, cannot be loaded or creates no
  // control.
  explicit TPdfview(QWidget* parent);

  // Calls member `dispatchId` of _DPdfview. Throws std::runtime_error when the
  // control does not offer the interface or the call fails.
  controls::DispatchValue Invoke(std::int32_t dispatchId,
                                 const std::vector<controls::DispatchValue>& arguments);

  // The hosted control's widget.
  QWidget* ControlWidget() const { return controlWidget_; }

 private:
  controls::DispatchInterface& DefaultInterface();

  controls::Control* control_ = nullptr;
  QWidget* controlWidget_ = nullptr;
  controls::DispatchInterface* defaultInterface_ = nullptr;
};
