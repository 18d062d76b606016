// GoogleTest inside a QApplication on the offscreen platform: the windows are
// real, nothing is shown.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>
#include "program_folder.h"

// The map probes the gateway with real echo requests: refuse (77, "skipped")
// outside a network namespace that holds nothing but loopback.
bool InPrivateNamespace() {
    const std::string command = std::string("bash -c '. \"") + KORVANE_SOURCE_DIR +
                                "scripts/netns-guard.sh\" && in_private_netns'";
    return std::system(command.c_str()) == 0;
}

namespace {
bool privateMounts = false;

// Some tests make a folder read-only with a bind mount (as root, permissions
// stop no write): the mounts must stay this process's own, whatever happens
// to it. Done before any thread exists, so the whole process is in it.
void MakePrivateMounts() {
    privateMounts = unshare(CLONE_NEWNS) == 0 &&
                    mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    if (!privateMounts) std::perror("espace de noms de montage privé");
}
}  // namespace

bool gui_testing::HasPrivateMounts() {
    return privateMounts;
}

int main(int argc, char** argv) {
    const bool listing = argc > 1 && std::string(argv[1]) == "--gtest_list_tests";
#ifdef KORVANE_IN_LAB
    const bool guarded = true;  // the lab runner refuses to start outside its namespaces
#else
    const bool guarded = false;
#endif
    if (!listing && !guarded && !InPrivateNamespace()) {
        std::fprintf(stderr,
                     "refus : ces tests ne tournent que dans un espace de noms réseau "
                     "privé (lancez scripts/test.sh, ou : unshare -n ctest)\n");
        return 77;
    }
    if (!listing && !guarded) MakePrivateMounts();  // the lab's own scripts mount
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // A program whose every test skipped itself says so to CTest (77).
    const testing::UnitTest& tests = *testing::UnitTest::GetInstance();
    if (result == 0 && tests.test_to_run_count() > 0 &&
        tests.skipped_test_count() == tests.test_to_run_count()) {
        return 77;
    }
    return result;
}
