// Appending to a journal that must survive a crash of its writer, and a lock
// held while the process lives.
#pragma once

#include <string>

namespace toolkit::platform {

// Appends `bytes` to the regular file `path` (created mode 0644 when missing)
// in one write, then flushes it to the disk. When the file does not end with
// a line end (a line cut short by a crash or a power loss), one comes first,
// so the cut line stays a line of its own that readers skip. A link, a FIFO
// or a device is refused. Throws FileError.
void AppendLines(const std::string& path, const std::string& bytes);

// Renames `from` over `to`, atomically. False, errno kept, when it fails.
bool RenameOver(const std::string& from, const std::string& to);

// Takes an exclusive lock on `path` (created when missing) for the rest of the
// process's life: true when this process holds it, false when another process
// does or the file cannot be opened.
bool HoldLock(const std::string& path);

}  // namespace toolkit::platform
