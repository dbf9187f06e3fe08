// GoogleTest entry point for the widget tests: one QApplication for the whole run.
#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // gtest_discover_tests runs the binary at build time, outside CTest's environment.
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Settings and data a test writes stay out of the user's folders.
    std::vector<std::string> folders;
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
        char folder[] = "/tmp/celwright-test-XXXXXX";
        if (mkdtemp(folder)) setenv(name, folder, 1), folders.emplace_back(folder);
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    for (const std::string& folder : folders) std::filesystem::remove_all(folder);
    return status;
}
