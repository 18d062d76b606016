// The web tests serve on loopback: only inside a network namespace of their own.
#include <gtest/gtest.h>

#include <string>

#include "../app/namespaces.h"

int main(int argc, char** argv) {
    const bool listing = argc > 1 && std::string(argv[1]) == "--gtest_list_tests";
    if (!listing && !testing_support::InPrivateNetworkNamespace()) {
        return testing_support::RefuseOutsidePrivateNamespace();
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
