// Shared main of the test programs: a QApplication (offscreen under ctest) and a settings
// folder of the run's own, so no test ever touches the user's settings.
#include "platform/Settings.h"
#include "support/TempDir.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    velmar::test::TempDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toUtf8());
    velmar::platform::SetSettingsFolderForTesting(settings.path());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
