// Widgets need one QApplication for the whole test program.
#include <gtest/gtest.h>
#include <QApplication>

int main(int argc, char** argv) {
    // Test discovery runs the program without the test's environment, and
    // CI has no display: fall back to the offscreen platform then.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
