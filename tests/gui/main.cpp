// GUI tests run on Qt's offscreen platform unless told otherwise.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Times shown in the panels and stored settings must not hang on the machine.
    setenv("TZ", "UTC", 1);
    // Settings and last input go to a folder of this run, never the user's.
    char config[] = "/tmp/zlk-gui-config-XXXXXX";
    if (mkdtemp(config)) {
        setenv("XDG_CONFIG_HOME", config, 1);
        setenv("HOME", config, 1);
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
