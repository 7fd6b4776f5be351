#include "host/gui/texts.h"

#include <QLocale>
#include <QTranslator>
#include <cstdlib>
#include <cstring>

namespace zlk::host::gui {

namespace {

// Loaded once, from the program's own resources: an installed file could be
// another version's. Kept to the end of the process, past QApplication.
const QTranslator* Japanese()
{
    static const QTranslator* const translator = [] {
        auto* loaded = new QTranslator();
        if (!loaded->load(QStringLiteral(":/zlk/translations/zlk-print-dialog_ja.qm"))) {
            qWarning("zlk: the Japanese texts are missing from the program");
        }
        return loaded;
    }();
    return translator;
}

}  // namespace

bool DesktopIsJapanese()
{
    // The first of these that is set decides, as gettext does.
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            return std::strncmp(value, "ja", 2) == 0;
        }
    }
    return QLocale::system().language() == QLocale::Japanese;
}

QString Text(const char* english)
{
    // Decided at each call rather than once at start: the language can be
    // switched while the program runs (the tests do).
    if (DesktopIsJapanese()) {
        if (QString japanese = Japanese()->translate(kTextContext, english); !japanese.isEmpty()) {
            return japanese;
        }
    }
    return QString::fromUtf8(english);
}

}  // namespace zlk::host::gui
