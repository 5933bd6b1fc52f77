// The main() of every test executable: a widget application on the offscreen
// platform, so that window tests and data tests run alike without a display.

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings and caches of the tests never touch the user's own.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Brenholt");
    QCoreApplication::setApplicationName("logdesk-tests");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
