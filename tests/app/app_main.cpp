// GoogleTest for Korvane's app layer: no window; inside a private network
// namespace only, since the app polls and probes the gateway for real.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app_folder.h"
#include "namespaces.h"

namespace {

bool privateMounts = false;
std::string tmpfs;  // the folder of the tests' tmpfs, empty when none

// A new folder with a tmpfs on it, made TMPDIR; empty when it cannot be had
// (the tests then use the disk).
std::string MountScratchTmpfs() {
    std::string folder = (std::filesystem::temp_directory_path() / "korvane-app-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) return "";
    if (mount("tmpfs", folder.c_str(), "tmpfs", 0, "mode=1777") != 0) {
        std::perror("tmpfs des tests");
        rmdir(folder.c_str());
        return "";
    }
    setenv("TMPDIR", folder.c_str(), 1);
    return folder;
}

}  // namespace

bool app_testing::HasPrivateMounts() {
    return privateMounts;
}

int main(int argc, char** argv) {
    const bool listing = argc > 1 && std::string(argv[1]) == "--gtest_list_tests";
    if (!listing) {
        if (!testing_support::InPrivateNetworkNamespace()) {
            return testing_support::RefuseOutsidePrivateNamespace();
        }
        privateMounts = testing_support::MakePrivateMounts();
        // The tests' folders on a tmpfs of this process's own (TMPDIR): the
        // app syncs every file it writes, which a disk makes slow, and what a
        // script still running writes after its test goes with the process.
        // Mounted on a folder of its own, not over /tmp, which may hold the
        // build itself (a clone in /tmp).
        if (privateMounts) tmpfs = MountScratchTmpfs();
    }
    testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    if (!tmpfs.empty()) {
        umount2(tmpfs.c_str(), MNT_DETACH);
        rmdir(tmpfs.c_str());
    }
    return status;
}
