// The client host's name and the digest text that accompanies every job
// attribute sent in the printer language.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zlk::filter {

inline constexpr std::size_t kHostNameSize = 97;

// Fills buffer (kHostNameSize bytes) with the local host name, cut to 32
// UTF-16 units on UTF-8 printers and to 96 bytes; empty on failure.
void getHostName(char* buffer, bool utf8Printer);

// The same cut applied to a given system host name.
void CutHostName(const char* systemName, bool utf8Printer, char* buffer);

// The computer the job came from, as the scheduler names it in the job's
// options (argument 5: job-originating-host-name), cut as above: on a print
// server that is the desktop, not the server. The local host name when the
// job was made here (the name is a loopback one) or the option is missing.
void JobHostName(const char* jobOptions, bool utf8Printer, char* buffer);

// SHA-256 of the bytes as 64 upper-case hexadecimal digits; empty when the
// digest cannot be computed.
std::string Sha256Hex(std::string_view bytes);

// Appends the digest text of text's bytes to destination, which has room
// for 64 more characters and a terminating zero.
void sha256(const char* text, char* destination);

// a-z become A-Z in place; other bytes stay.
void uppercharacter(char* text);

}  // namespace zlk::filter
