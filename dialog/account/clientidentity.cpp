#include "dialog/account/clientidentity.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "common/utf8.h"
#include "platform/system/identity.h"
#include "ppd/ticket.h"

namespace zlk::account {

namespace {

constexpr std::size_t kMaxComputerNameBytes = 32;
constexpr std::size_t kMaxHostNameBytes = 64;
constexpr std::string_view kRightSingleQuote = "\xE2\x80\x99";

std::vector<std::string_view> Split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    for (std::size_t at = text.find(separator); at != std::string_view::npos; at = text.find(separator, from)) {
        parts.push_back(text.substr(from, at - from));
        from = at + 1;
    }
    parts.push_back(text.substr(from));
    return parts;
}

std::string EncodeIPv4(std::string_view address)
{
    const auto fields = Split(address, '.');
    if (fields.size() != 4) {
        return {};
    }
    std::string out = "I";
    for (std::string_view field : fields) {
        if (field.empty() || field.size() > 3) {
            return {};
        }
        int value = 0;
        for (char c : field) {
            if (!std::isdigit(static_cast<unsigned char>(c))) {
                return {};
            }
            value = value * 10 + (c - '0');
        }
        if (value > 255) {
            return {};
        }
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", value);
        out += hex;
    }
    return out;
}

std::string EncodeIPv6(std::string_view address)
{
    address = address.substr(0, address.find('%'));
    const auto gap = address.find("::");
    if (gap != std::string_view::npos && address.find("::", gap + 1) != std::string_view::npos) {
        return {};
    }
    auto groupsOf = [](std::string_view part) {
        return part.empty() ? std::vector<std::string_view>{} : Split(part, ':');
    };
    const std::vector<std::string_view> head =
        groupsOf(gap == std::string_view::npos ? address : address.substr(0, gap));
    const std::vector<std::string_view> tail =
        gap == std::string_view::npos ? std::vector<std::string_view>{} : groupsOf(address.substr(gap + 2));
    const std::size_t given = head.size() + tail.size();
    if ((gap == std::string_view::npos && given != 8) || (gap != std::string_view::npos && given > 7)) {
        return {};
    }
    std::string out = "6";
    auto put = [&out](std::string_view group) {
        if (group.empty() || group.size() > 4) {
            return false;
        }
        for (char c : group) {
            if (!std::isxdigit(static_cast<unsigned char>(c))) {
                return false;
            }
        }
        out += std::string(4 - group.size(), '0') + std::string(group);
        return true;
    };
    for (std::string_view group : head) {
        if (!put(group)) {
            return {};
        }
    }
    out += std::string((8 - given) * 4, '0');
    for (std::string_view group : tail) {
        if (!put(group)) {
            return {};
        }
    }
    return out;
}

}  // namespace

std::string GetClientIPAddress(std::string_view address)
{
    if (address.find('.') != std::string_view::npos) {
        return EncodeIPv4(address);
    }
    if (address.find(':') != std::string_view::npos) {
        return EncodeIPv6(address);
    }
    return {};
}

std::string FilterComputerName(std::string_view name, unsigned char lowest, unsigned char highest, int limit)
{
    const std::size_t room = limit < 1 ? 256 : static_cast<std::size_t>(limit);
    // A name that is not UTF-8 has nothing to convert.
    if (name.size() + 1 > room || !common::IsValidUtf8(name)) {
        return {};
    }
    // Cut between characters: half a character would make the text
    // unwritable, and the host name and address would go with it.
    std::string kept(name.substr(0, common::Utf8SafeLength(name, kMaxComputerNameBytes)));
    if (kept.find_first_not_of(' ') == std::string::npos) {
        return {};
    }
    std::string out;
    for (std::size_t i = 0; i < kept.size();) {
        if (std::string_view(kept).substr(i, kRightSingleQuote.size()) == kRightSingleQuote) {
            out += "___";
            i += kRightSingleQuote.size();
            continue;
        }
        const auto byte = static_cast<unsigned char>(kept[i++]);
        out += byte < lowest || byte > highest ? '_' : static_cast<char>(byte);
    }
    return out;
}

bool SetCFStringToTicketWithByteFilter(platform::PMPrintSettings* settings, std::string_view name, const char* key,
                                       bool lock, unsigned char lowest, unsigned char highest, int limit)
{
    const std::string value = FilterComputerName(name, lowest, highest, limit);
    return ppd::SetValueToSettingsWithTicketKeyAndLock(value.c_str(), settings, key, lock) == platform::noErr;
}

std::optional<std::string> getHostIPv4Address(const platform::NetworkSources& sources)
{
    return platform::PrimaryNetworkAddress(sources);
}

ClientIdentitySources ClientIdentitySources::System()
{
    ClientIdentitySources sources;
    sources.hostName = platform::HostName();
    sources.computerName = platform::ComputerName();
    return sources;
}

bool SetInformationToTicket(platform::PMPrintSettings* settings, bool lock, const ClientIdentitySources& sources)
{
    if (!settings ||
        !SetCFStringToTicketWithByteFilter(settings, sources.computerName,
                                           ppd::kTicketKey<"JBAMacHostNameStringTicket">, lock, 0x20, 0xFE, 64)) {
        return false;
    }
    const std::string hostName = sources.hostName.substr(0, kMaxHostNameBytes);
    const std::optional<std::string> address = getHostIPv4Address(sources.network);
    if (!ppd::SetCStringToTicket(settings, hostName.c_str(), ppd::kTicketKey<"JBAHostNameStringTicket">, lock)) {
        return false;
    }
    if (!address) {
        return true;
    }
    const std::string encoded = GetClientIPAddress(*address).substr(0, 47);
    return ppd::SetCStringToTicket(settings, encoded.c_str(), ppd::kTicketKey<"JBAIPAddressStringTicket">, lock);
}

}  // namespace zlk::account
