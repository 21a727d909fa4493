#pragma once
// The GUI border of the program's CP936 text.
#include <QFile>
#include <QString>
#include <filesystem>
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

// File names cross the GUI border in the platform's own form: the bytes of a
// POSIX name as the file system holds them, the UTF-16 of a Windows name.
inline QString QStringFromNative(const std::string& name) {
  return QFile::decodeName(QByteArray::fromStdString(name));
}
inline QString QStringFromNative(const std::wstring& name) { return QString::fromStdWString(name); }
inline void NativeFromQString(const QString& name, std::string& out) {
  out = QFile::encodeName(name).toStdString();
}
inline void NativeFromQString(const QString& name, std::wstring& out) { out = name.toStdWString(); }

inline QString FromPath(const std::filesystem::path& path) { return QStringFromNative(path.native()); }
inline std::filesystem::path ToPath(const QString& name) {
  std::filesystem::path::string_type native;
  NativeFromQString(name, native);
  return std::filesystem::path(std::move(native));
}
