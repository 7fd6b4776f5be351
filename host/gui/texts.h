// The print dialog's own texts in the desktop's language (English or
// Japanese). The panels' texts come from their plug-ins' string tables.
#pragma once

#include <QString>

namespace zlk::host::gui {

// Whether the desktop asks for Japanese (LANGUAGE, LC_ALL, LC_MESSAGES, LANG).
bool DesktopIsJapanese();

// The text in the desktop's language; english is also the key. The Japanese
// texts are in translations/zlk-print-dialog_ja.ts, built into the program.
QString Text(const char* english);

// Marks an English text that is given to Text() later, where the check that
// every text is translated finds it.
constexpr const char* TextKey(const char* english) { return english; }

// The translation context of these texts in the .ts file.
inline constexpr char kTextContext[] = "zlk::host::gui";

}  // namespace zlk::host::gui
