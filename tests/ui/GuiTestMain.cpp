// Every GUI test executable runs inside one QApplication, on the offscreen
// platform unless another one is asked for, with the settings store kept in
// a temporary folder.
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    TempDir settings;
    const QString folder = QString::fromStdString(settings.Path().string());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
    return RUN_ALL_TESTS();
}
