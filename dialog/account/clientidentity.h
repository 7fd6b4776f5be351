// Which computer sent a job: its user-visible name, its host name and its
// primary address, as the accounting panel writes them into the ticket.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/printing/printsettings.h"
#include "platform/system/network.h"

namespace zlk::account {

// The address as the printer reads it: "I" and the four octets in two
// upper-case hexadecimal digits each ("192.168.0.1" gives "IC0A80001"), or
// "6" and the 32 digits of the expanded IPv6 address in the text's own
// letter case, zone dropped ("fe80::1%en0" gives "6fe80...0001"). Empty
// for anything that is not a dotted IPv4 address or an IPv6 address.
std::string GetClientIPAddress(std::string_view address);

// The computer name as it is written: empty when it does not fit in limit
// bytes (a limit below 1 means 256), is not UTF-8 or is only spaces; else
// its first 32 bytes, cut between characters, with every byte outside
// lowest..highest made "_", and U+2019 made "___".
std::string FilterComputerName(std::string_view name, unsigned char lowest, unsigned char highest, int limit);
bool SetCFStringToTicketWithByteFilter(platform::PMPrintSettings* settings, std::string_view name, const char* key,
                                       bool lock, unsigned char lowest, unsigned char highest, int limit);

// The primary address of the computer (IPv4 first, then IPv6).
std::optional<std::string> getHostIPv4Address(const platform::NetworkSources& sources = {});

// Where the identity comes from; tests give their own.
struct ClientIdentitySources {
    std::string computerName;
    std::string hostName;
    platform::NetworkSources network;
    // The running computer's names and network.
    static ClientIdentitySources System();
};

// Writes the computer name, the host name and, when there is one, the
// primary address. False when the computer name or host name could not be
// written; then nothing after it is written.
bool SetInformationToTicket(platform::PMPrintSettings* settings, bool lock, const ClientIdentitySources& sources);

}  // namespace zlk::account
