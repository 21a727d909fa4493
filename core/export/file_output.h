#pragma once
// Writing a finished export file in one piece.
#include <filesystem>
#include <string_view>

// Writes `content` to `fileName`, replacing any file of that name the way
// platform::ReplaceFileContent does: the new content is complete before the
// old file is touched, the file keeps its mode, owner and links, and a file
// the user may not write is refused. When anything fails the earlier file is
// left as it was, no temporary file remains, and std::runtime_error is
// thrown ("Cannot Create file <name>" when the file cannot be created at
// all).
void WriteWholeFile(const std::filesystem::path& fileName, std::string_view content);
