#include "gui/base/error_report.h"

#include "gui/base/ui_services.h"

namespace {

// Whether the message's last character is the Chinese full stop. The text is
// walked from its start, so the trail byte of one double-byte character and
// the lead byte of the next are never taken for a character of their own.
bool EndsWithChineseFullStop(const std::string& message) {
  static const std::string fullStop = "。";
  size_t last = std::string::npos;
  for (size_t i = 0; i < message.size();) {
    last = i;
    const auto lead = static_cast<unsigned char>(message[i]);
    i += lead >= 0x81 && lead <= 0xFE && i + 1 < message.size() ? 2 : 1;
  }
  return last != std::string::npos && message.compare(last, std::string::npos, fullStop) == 0;
}

}  // namespace

std::string WithFullStop(std::string message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.' &&
      !EndsWithChineseFullStop(message))
    message += '.';
  return message;
}

void ShowErrorReport(const std::string& message) {
  Ui().ShowMessage({WithFullStop(message), kApplicationTitle, MessageIcon::Error});
}
