#pragma once
// Writing a finished export file in one piece.
#include <string>
#include <string_view>

// Creates `fileName` (CP936), replacing any file of that name, and writes
// `content` to it. Callers build the whole content first, so a file that
// cannot be created leaves nothing behind. Throws std::runtime_error with
// "Cannot Create file <name>" when the file cannot be created, and removes
// the partial file when writing it fails.
void WriteWholeFile(const std::string& fileName, std::string_view content);
