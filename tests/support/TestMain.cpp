#include <QApplication>
#include <gtest/gtest.h>

// Every test program runs with a real QApplication so widgets, fonts and the event loop work.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Quorvel");
    QApplication::setApplicationName("Quorvel");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
