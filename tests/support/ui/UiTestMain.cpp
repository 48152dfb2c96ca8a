// Runs a widget suite inside a QApplication on the offscreen platform.
#include "support/LeakCheckOptions.h"

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Settings the editor keeps across runs go to a scratch place, not the user's own, and one of
    // each process's own: CTest runs test processes side by side, which would see each other's.
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir settings;
    if (settings.isValid())
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
