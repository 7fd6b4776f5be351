// The PWG print job ticket in XML that goes between the PJL header and the
// PDF data. Every line goes to standard output through Utlfputs, so it also
// reaches the job copy.
#pragma once

#include <cstddef>

#include "filter/encoding.h"
#include "filter/options.h"

namespace zlk::filter {

// The longest ticket line, line end included.
inline constexpr std::size_t kJobTicketLineMax = 254;
// Size of the buffer that escaped texts are written into.
inline constexpr std::size_t kJobTicketEscapeSize = 512;

// Element line writers: "<name>value</name>" and a line end after an
// indent of two tabs, sixteen blanks, three, four or six tabs. The value
// must already be escaped; a value too long for one line is shortened
// between characters and entities so that the closing tag always follows,
// and what XML cannot carry (bytes that are not UTF-8, control characters,
// unescaped markup) is left out. False when nothing was written (a name too
// long for any line).
bool MakeJobTicketCommand(const char* name, const char* value);
bool MakeJobTicketCommandForDocumentName(const char* name, const char* value);
bool MakeJobTicketCommand2(const char* name, const char* value);
bool MakeJobTicketCommand3(const char* name, const char* value);
bool MakeJobTicketCommand4(const char* name, const char* value);
bool MakeJobTicketCommand5(const char* name, const char* value);

// Copies source into dest (destSize bytes, zero-terminated) with the XML
// specials " & ' < > written as entities. Stops before the first character
// when fewer than 6 bytes besides the terminating zero are left, so neither
// an entity nor a UTF-8 character is ever cut. Answers the length written.
std::size_t DecodeCupsReservedChar(const char* source, char* dest, std::size_t destSize);

// The parts of the ticket. requestingUser is the spooler's user
// (argument 2), copies the copy count (argument 4).
void JTOutPutJobDescription(const printoptions& options, const char* requestingUser, const DocumentNames& names);
void JTOutPutJobProcessing(const printoptions& options);
void JTOutPutColorMode(const printoptions& options);
void JTOutPutOutputMode(const printoptions& options);
void JTOutPutCopies(const char* copies);
void JTOutPutCollate(const printoptions& options);
void JTOutPutSides(const printoptions& options);
void JTOutPutCoverFrontAndCoverBack(const printoptions& options);
void JTMedia(const printoptions& options);
void JTOutPutMediaLocation(const printoptions& options);
void JTOutPutMediaType(const printoptions& options);
void JTOutPutFinishing(const printoptions& options);

// Writes the whole ticket. argv is the filter's command line (argument 2
// the user, 4 the copies). Nothing in it can fail; it still answers 1, the
// answer its callers have always been given.
int OutputPrintTicketCommand(const char* const* argv, const printoptions& options, const DocumentNames& names);

}  // namespace zlk::filter
