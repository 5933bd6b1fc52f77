// The main() of every test executable: a widget application on the offscreen
// platform, so that window tests and data tests run alike without a display.

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Brenholt");
    QCoreApplication::setApplicationName("logdesk-tests");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
