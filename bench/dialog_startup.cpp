// zlk-print-dialog's start-up, from main() to the dialog on screen with the
// panels of both plug-ins for one PPD: prints the milliseconds and exits at
// once, as bench/dialog_startup.sh runs it. Offscreen unless a display is given.
#include <unistd.h>

#include <QApplication>
#include <QTabWidget>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "host/gui/printwindow.h"

int main(int argc, char** argv)
{
    const auto start = std::chrono::steady_clock::now();
    if (argc != 3) {
        std::fprintf(stderr, "usage: dialog_startup PPD PLUGIN-FOLDER\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const std::filesystem::path ppd = argv[1];
    const std::filesystem::path plugins = argv[2];
    QApplication app(argc, argv);
    zlk::widgets::QtToolkit toolkit;
    zlk::host::gui::PrintWindowSetup setup;
    setup.queue = "bench";
    setup.pluginFolders = {plugins};
    setup.queues = [] { return std::vector<std::string>{"bench"}; };
    setup.defaultQueue = [] { return std::string("bench"); };
    // The window removes the PPD it was given, as it does the scheduler's copy.
    setup.queuePPD = [&](const std::string&, std::string*) {
        const std::filesystem::path copy =
            std::filesystem::temp_directory_path() / ("zlk-dialog-startup-" + std::to_string(getpid()) + ".ppd");
        std::filesystem::copy_file(ppd, copy, std::filesystem::copy_options::overwrite_existing);
        return copy;
    };
    zlk::host::gui::PrintWindow window(toolkit, setup);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window) || window.Pages()->count() < 3) {
        std::fprintf(stderr, "dialog_startup: the dialog did not show the panels\n");
        return 1;
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.1f\n", ms);
    std::fflush(stdout);
    // Shown is what is measured; the teardown is not.
    std::_Exit(0);
}
