// The print dialog's own texts in the desktop's language (English or
// Japanese). The panels' texts come from their plug-ins' string tables.
#pragma once

#include <QString>

namespace zlk::host::gui {

// Whether the desktop asks for Japanese (LANGUAGE, LC_ALL, LC_MESSAGES, LANG).
bool DesktopIsJapanese();

// The text in the desktop's language; english is also the key.
QString Text(const char* english);

}  // namespace zlk::host::gui
