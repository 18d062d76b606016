// Who may open a file or folder on Windows: the user running this program,
// and whether an access list lets in anyone else than the user, the system
// and the administrators. The scratch folder and the private files (the SSH
// key) are judged by the same rule, which is also OpenSSH's for its keys.
#pragma once

// Windows headers in the order they need: winsock2.h before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <vector>

namespace toolkit::platform {

// The user running this program, and the owner its new files get (the
// administrators' group for an administrator's elevated program).
class Identity {
  public:
    Identity();
    PSID User() const;
    bool Known() const { return User() != nullptr; }
    // Ours: the user, or the owner the user's new files get.
    bool Ours(PSID sid) const;

  private:
    std::vector<unsigned char> user_;
    std::vector<unsigned char> owner_;
};

// No access list at all lets everyone in; an entry that grants anything to
// someone else than the user, the system, the administrators (or the
// creator-owner and owner-rights entries, which stand for the owner) does
// too. Entries that deny are no concern; entries of a kind not read here
// count as granting.
bool OpenToOthers(const ACL* dacl, const Identity& identity);

// The owner and the access list of an open file or folder (READ_CONTROL).
// Returns the system's error code, 0 when both were read.
struct Protection {
    bool ownedByUs = false;
    bool openToOthers = true;
};
DWORD ProtectionOf(HANDLE file, Protection& protection);

}  // namespace toolkit::platform
