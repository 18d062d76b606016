// GoogleTest for Korvane's app layer: no window; inside a private network
// namespace only, since the app polls and probes the gateway for real.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app_folder.h"
#include "namespaces.h"

namespace {
bool privateMounts = false;
}

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
        // The tests' folders on a tmpfs of this process's own: the app syncs
        // every file it writes, which a disk makes slow, and what a script
        // still running writes after its test goes with the process.
        if (privateMounts && mount("tmpfs", "/tmp", "tmpfs", 0, "mode=1777") != 0) {
            std::perror("tmpfs sur /tmp");
        }
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
