#pragma once
// The GUI border of the program's CP936 text.
#include <QString>
#include <string>
#include <string_view>

#include "platform/codepage.h"

inline QString ToQ(std::string_view cp936) {
  const std::string utf8 = platform::Cp936ToUtf8(cp936);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string FromQ(const QString& text) {
  return platform::Utf8ToCp936(text.toUtf8().toStdString());
}
