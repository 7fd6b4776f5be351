// zlk-print-dialog: the print dialog on the desktop, with the printer's own
// panels from the installed Zelko plug-ins.
#include <QApplication>
#include <QMessageBox>
#include <QUrl>
#include <cstdlib>
#include <iostream>

#include "host/documents.h"
#include "host/gui/helpopener.h"
#include "host/gui/printwindow.h"
#include "host/gui/texts.h"
#include "host/pluginhost.h"
#include "platform/system/storedsettings.h"

namespace {

constexpr char kUsage[] =
    "usage: zlk-print-dialog [-d QUEUE] [FILE...]\n"
    "Shows the print dialog with the Zelko printer panels and prints the files.\n"
    "Exit status: 0 printed, 1 cancelled, 2 a usage error.\n";

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("zlk-print-dialog");
    QApplication::setApplicationDisplayName(zlk::host::gui::Text("Print Dialog"));

    zlk::host::gui::PrintWindowSetup setup;
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == "-d" && i + 1 < args.size()) {
            setup.queue = args[++i].toStdString();
        } else if (arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (arg.startsWith('-') && arg != "-") {
            std::cerr << "zlk-print-dialog: unknown option " << arg.toStdString() << "\n" << kUsage;
            return 2;
        } else {
            // A file manager hands over file names, or file: URLs with %u.
            const QUrl url(arg);
            setup.files.emplace_back(url.isLocalFile() ? url.toLocalFile().toStdString() : arg.toStdString());
        }
    }
    // A document that cannot be read is told before the dialog shows.
    if (const std::string why = zlk::host::CheckDocuments(setup.files, ""); !why.empty()) {
        QMessageBox::critical(nullptr, zlk::host::gui::Text("Print"), QString::fromStdString(why));
        std::cerr << "zlk-print-dialog: " << why << "\n";
        return 2;
    }
    setup.pluginFolders = zlk::host::PluginFolders(std::getenv("ZLK_PLUGIN_PATH"));
    setup.settingsFolder = zlk::platform::DefaultPrintSettingsFolder();

    zlk::widgets::QtToolkit toolkit;
    zlk::host::gui::HelpOpener help(toolkit);
    help.Install();
    int status = 1;
    {
        zlk::host::gui::PrintWindow window(toolkit, std::move(setup));
        window.show();
        if (window.exec() == QDialog::Accepted) {
            std::cout << window.Queue() << "-" << window.JobId() << "\n";
            status = 0;
        }
    }
    return status;
}
