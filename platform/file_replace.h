#pragma once
// Replacing a file with new content the way the user's file system expects:
// every export and the office suite's result go through ReplaceFileContent.
#include <filesystem>
#include <string_view>

namespace platform {

// Makes `target` hold exactly `content`.
//
// - The new content is complete before the old file is touched: it goes into
//   a temporary file beside the file, which is flushed and then put in place
//   with one rename.
// - A symbolic link is followed: the file it names is the one replaced.
// - The replaced file keeps its mode, and its owner and group where the user
//   may set them; a new file gets the user's umask.
// - Where a rename cannot keep that (a folder the user may not write, a file
//   with several hard links, an owner the user may not give, a name too long
//   for a temporary beside it), the content is written into the existing
//   file itself, and its earlier content is put back if that write fails.
// - A target the user may not write (no write permission, or a file marked
//   read-only for everybody), or that is not a regular file, is refused and
//   left as it was.
//
// Throws std::runtime_error on every failure: "Cannot Create file <target>"
// when the file cannot be made or opened for writing at all, else "Cannot
// write file <name>: <reason>". The earlier file then holds what it held,
// and no temporary file is left.
void ReplaceFileContent(const std::filesystem::path& target, std::string_view content);

// Removes the temporary files that ReplaceFileContent leaves in `folder` when
// a program is killed in the middle of a replace: only files whose names
// carry this program's marker and whose writing process has ended. Errors are
// ignored; a missing folder is fine.
void RemoveStaleReplacements(const std::filesystem::path& folder);

}  // namespace platform
