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
// - The target is opened through its name, so the system resolves symbolic
//   links with every protection it applies (a link planted by another user in
//   a shared sticky folder is refused as a shell's redirection would be); the
//   file it reaches is the one replaced, found from the open file, and it
//   must be a regular file (a FIFO or device is refused without waiting).
// - The replaced file keeps its mode, its owner and group where the user may
//   set them, and its extended attributes and ACLs; a new file gets the
//   user's umask.
// - Where a rename cannot keep that (a folder the user may not write, a file
//   with several hard links, an owner or attributes the user may not give, a
//   name too long for a temporary beside it, a mount point), the content is
//   written into the existing file itself. Its earlier content is first
//   copied to an undo file in a folder of the user's own (POSIX:
//   $XDG_STATE_HOME/Zelvoran/replace, else ~/.local/state/Zelvoran/replace)
//   and synced; it goes once the new content is complete and synced, and is
//   put back when the write fails, or by RecoverInterruptedReplacements when
//   the program died meanwhile.
// - Exports of one file wait for each other (up to 30 seconds, then the later
//   one fails): the file ends with one whole content.
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

// Puts back the earlier content of every file whose in-place write was
// interrupted (the program was killed, or putting it back failed then), from
// the undo files of this user, unless the file has been replaced as a whole
// since. Called at start and by every ReplaceFileContent; errors are left
// for the next call.
void RecoverInterruptedReplacements();

}  // namespace platform
