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

// An exclusive lock on the file `path` (created when missing), held for the
// rest of the process's life. At each call the path must still name the
// file locked: one deleted or replaced meanwhile leads nobody, so its lock
// is let go and the file now there is locked in its place when it can be.
// A path that is not a plain file (a folder, a link, a FIFO) or, on POSIX,
// a file of another user is never locked: `Refused`, with the reason in
// French, as is a file that cannot be opened.
enum class LockHold { Held, HeldElsewhere, Refused };
struct LockState {
    LockHold hold = LockHold::Refused;
    std::string reason;  // why it is refused: "c'est un dossier, pas un fichier ordinaire"
};
LockState HoldLock(const std::string& path);

}  // namespace toolkit::platform
