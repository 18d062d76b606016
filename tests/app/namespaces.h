// The guards of the test programs that start Korvane: a network namespace
// holding nothing but loopback (Korvane probes the gateway and polls with
// real echo requests), and mounts of this process's own.
#pragma once

#include <sched.h>
#include <sys/mount.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace testing_support {

inline bool InPrivateNetworkNamespace() {
    const std::string command = std::string("bash -c '. \"") + KORVANE_SOURCE_DIR +
                                "scripts/netns-guard.sh\" && in_private_netns'";
    return std::system(command.c_str()) == 0;
}

// Some tests make a folder read-only with a bind mount (as root, permissions
// stop no write): the mounts must stay this process's own, whatever happens
// to it. To be called before any thread exists, so the whole process is in it.
inline bool MakePrivateMounts() {
    const bool made = unshare(CLONE_NEWNS) == 0 &&
                      mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    if (!made) std::perror("espace de noms de montage privé");
    return made;
}

inline int RefuseOutsidePrivateNamespace() {
    std::fprintf(stderr,
                 "refus : ces tests ne tournent que dans un espace de noms réseau "
                 "privé (lancez scripts/test.sh, ou : unshare -n ctest)\n");
    return 77;
}

}  // namespace testing_support
