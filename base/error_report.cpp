#include "base/error_report.h"

#include "base/ui_services.h"

std::string WithFullStop(std::string message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') message += '.';
  return message;
}

void ShowErrorReport(const std::string& message) {
  Ui().ShowMessage({WithFullStop(message), kApplicationTitle, MessageIcon::Error});
}
