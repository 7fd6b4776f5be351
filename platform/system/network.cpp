#include "platform/system/network.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/route.h>
#include <netinet/in.h>

#include <charconv>
#include <cstdint>
#include <limits>
#include <memory>
#include <sstream>

#include "platform/system/fileutil.h"

namespace zlk::platform {

namespace {

struct IfAddrsDeleter {
    void operator()(ifaddrs* list) const { freeifaddrs(list); }
};

std::optional<std::uint64_t> Hex(std::string_view text)
{
    std::uint64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint64_t> Decimal(std::string_view text)
{
    std::uint64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string> Fields(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> fields;
    std::string field;
    while (in >> field) {
        fields.push_back(field);
    }
    return fields;
}

bool IsUsableDefault(std::uint64_t flags) { return (flags & RTF_UP) != 0 && (flags & RTF_REJECT) == 0; }

// Keeps the lowest metric; the first of equals wins, as in the kernel's table.
struct Best {
    std::optional<std::string> name;
    std::uint64_t metric = std::numeric_limits<std::uint64_t>::max();

    void Offer(const std::string& candidate, std::uint64_t candidateMetric)
    {
        if (!name || candidateMetric < metric) {
            name = candidate;
            metric = candidateMetric;
        }
    }
};

bool IsPlainName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

std::string ReadLine(const std::filesystem::path& path)
{
    std::string text;
    std::string message;
    if (detail::ReadWholeFile(path, 4096, text, message, true) != noErr) {
        return {};
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

std::string ReadText(const std::filesystem::path& path)
{
    std::string text;
    std::string message;
    detail::ReadWholeFile(path, 16u << 20, text, message, true);
    return text;
}

bool IsLinkLocal(const std::string& address)
{
    return address.size() >= 4 && (address[0] == 'f' || address[0] == 'F') &&
           (address[1] == 'e' || address[1] == 'E') && address[2] == '8' && address[3] == '0';
}

}  // namespace

std::vector<InterfaceAddress> SystemInterfaceAddresses()
{
    std::vector<InterfaceAddress> result;
    ifaddrs* raw = nullptr;
    if (getifaddrs(&raw) != 0) {
        return result;
    }
    std::unique_ptr<ifaddrs, IfAddrsDeleter> list(raw);
    for (const ifaddrs* entry = list.get(); entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_name == nullptr) {
            continue;
        }
        char text[INET6_ADDRSTRLEN] = {};
        const int family = entry->ifa_addr->sa_family;
        const void* bytes = nullptr;
        if (family == AF_INET) {
            bytes = &reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr;
        } else if (family == AF_INET6) {
            bytes = &reinterpret_cast<const sockaddr_in6*>(entry->ifa_addr)->sin6_addr;
        } else {
            continue;
        }
        if (inet_ntop(family, bytes, text, sizeof text) != nullptr) {
            result.push_back({entry->ifa_name, family, text});
        }
    }
    return result;
}

std::optional<std::string> DefaultRouteInterfaceIPv4(std::string_view routes)
{
    // Iface Destination Gateway Flags RefCnt Use Metric Mask ..., hex
    // except the counters and the metric; one header line.
    std::istringstream in{std::string(routes)};
    std::string line;
    std::getline(in, line);
    Best best;
    while (std::getline(in, line)) {
        std::vector<std::string> f = Fields(line);
        if (f.size() < 8) {
            continue;
        }
        auto destination = Hex(f[1]);
        auto flags = Hex(f[3]);
        auto metric = Decimal(f[6]);
        auto mask = Hex(f[7]);
        if (destination && flags && metric && mask && *destination == 0 && *mask == 0 && IsUsableDefault(*flags) &&
            IsPlainName(f[0])) {
            best.Offer(f[0], *metric);
        }
    }
    return best.name;
}

std::optional<std::string> DefaultRouteInterfaceIPv6(std::string_view routes)
{
    // destination prefix-length source source-length next-hop metric
    // refcount use flags interface, all hex; no header.
    std::istringstream in{std::string(routes)};
    std::string line;
    Best best;
    while (std::getline(in, line)) {
        std::vector<std::string> f = Fields(line);
        if (f.size() < 10 || f[0].size() != 32) {
            continue;
        }
        auto prefix = Hex(f[1]);
        auto metric = Hex(f[5]);
        auto flags = Hex(f[8]);
        if (f[0] == std::string(32, '0') && prefix && *prefix == 0 && metric && flags && IsUsableDefault(*flags) &&
            IsPlainName(f[9])) {
            best.Offer(f[9], *metric);
        }
    }
    return best.name;
}

bool IsLinkActive(const std::filesystem::path& interfaces, const std::string& interfaceName)
{
    if (!IsPlainName(interfaceName)) {
        return false;
    }
    const std::filesystem::path folder = interfaces / interfaceName;
    const std::string state = ReadLine(folder / "operstate");
    if (state == "up") {
        return true;
    }
    return state == "unknown" && ReadLine(folder / "carrier") == "1";
}

std::optional<std::string> PrimaryNetworkAddress(const NetworkSources& sources)
{
    std::vector<InterfaceAddress> addresses;
    bool addressesRead = false;
    auto addressesOf = [&](const std::string& name, int family) {
        if (!addressesRead && sources.addresses) {
            addresses = sources.addresses();
            addressesRead = true;
        }
        std::vector<std::string> found;
        for (const InterfaceAddress& a : addresses) {
            if (a.interfaceName == name && a.family == family) {
                found.push_back(a.address);
            }
        }
        return found;
    };

    if (auto primary = DefaultRouteInterfaceIPv4(ReadText(sources.ipv4Routes));
        primary && IsLinkActive(sources.interfaces, *primary)) {
        std::vector<std::string> found = addressesOf(*primary, AF_INET);
        if (!found.empty()) {
            return found.front();
        }
    }
    if (auto primary = DefaultRouteInterfaceIPv6(ReadText(sources.ipv6Routes));
        primary && IsLinkActive(sources.interfaces, *primary)) {
        std::vector<std::string> found = addressesOf(*primary, AF_INET6);
        std::optional<std::string> linkLocal;
        for (auto it = found.rbegin(); it != found.rend(); ++it) {
            if (!IsLinkLocal(*it)) {
                return *it;
            }
            if (!linkLocal) {
                linkLocal = *it;
            }
        }
        return linkLocal;
    }
    return std::nullopt;
}

}  // namespace zlk::platform
