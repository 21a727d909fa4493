#pragma once
// The one place where the program's CP936 (GBK) text meets Unicode.
// Bytes that cannot be converted become '?', so a damaged text never throws.
#include <string>
#include <string_view>

namespace platform {

std::string Cp936ToUtf8(std::string_view cp936);
std::string Utf8ToCp936(std::string_view utf8);

}  // namespace platform
