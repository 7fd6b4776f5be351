// Writing the print settings ticket and naming the current printer. Every
// value the dialog framework stores goes through
// SetValueToSettingsWithTicketKeyAndLock.
#pragma once

#include <string>
#include <string_view>

#include "common/joinedtext.h"
#include "platform/printing/printsettings.h"
#include "platform/printing/session.h"
#include "platform/printing/status.h"

namespace zlk::ppd {

using platform::OSStatus;

// The vendor prefix of every print settings key the dialog plug-ins write or
// read (ticket keys and stored preferences alike); the filter reads the same
// keys. Spelled once: every key is this prefix followed by a name.
inline constexpr char kTicketKeyPrefixText[] = "com.zelko.jt.printsettings.pdf.ww.";
inline constexpr std::string_view kTicketKeyPrefix = kTicketKeyPrefixText;

// kTicketKeyPrefix followed by Name, spelled whole at compile time, so that
// the panels' static records can hold plain pointers to whole keys.
template <common::FixedText Name>
inline constexpr const char* kTicketKey = common::kJoinedText<kTicketKeyPrefixText, Name>.data();

// Stores the UTF-8 value under key (used unchanged) with the caller's lock
// flag, every U+FFE4 (fullwidth broken bar) turned into "|": the spooler's
// option parser and the printer take only the ASCII bar. paramErr for a
// null argument, memFullErr for a value that is not UTF-8, else the print
// settings' status.
OSStatus SetValueToSettingsWithTicketKeyAndLock(const char* value, platform::PMPrintSettings* settings, const char* key,
                                                bool locked);

// The same through a 256-byte buffer: a value longer than 255 bytes, or not
// UTF-8, is stored as the empty text. True when stored.
bool SetCStringToTicket(platform::PMPrintSettings* settings, const char* value, const char* key, bool locked);

// Appends the session's current printer (the spooler's queue name) to out.
// 0 on success, 1 when out is null or the session has no printer.
int SetPrinterString(const platform::PMPrintSession* session, std::string* out);

// Appends prefix, then key, to out (per-printer preference keys are the
// queue name followed by the control's key). False for a null argument.
bool CreateKeyWithCurrentPrinter(const char* key, const char* prefix, std::string* out);

}  // namespace zlk::ppd
