#pragma once
// Writing a finished export file in one piece.
#include <filesystem>
#include <string_view>

// Writes `content` to `fileName`, replacing any file of that name only once
// the new content is complete: it goes into a temporary file in the same
// folder, which is flushed, closed and then renamed over the target. When
// anything fails the earlier file is left as it was, no temporary file
// remains, and std::runtime_error is thrown ("Cannot Create file <name>"
// when the file cannot be created at all).
void WriteWholeFile(const std::filesystem::path& fileName, std::string_view content);
