// GoogleTest inside a QApplication on the offscreen platform: the windows are
// real, nothing is shown.
#include <gtest/gtest.h>

#include <QApplication>
#include <string>

#include "../app/namespaces.h"
#include "program_folder.h"

int main(int argc, char** argv) {
    const bool listing = argc > 1 && std::string(argv[1]) == "--gtest_list_tests";
#ifdef KORVANE_IN_LAB
    const bool guarded = true;  // the lab runner refuses to start outside its namespaces
#else
    const bool guarded = false;
#endif
    if (!listing && !guarded && !testing_support::InPrivateNetworkNamespace()) {
        return testing_support::RefuseOutsidePrivateNamespace();
    }
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
