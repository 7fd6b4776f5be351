// The computer's primary network address: the address of the interface
// that carries the default route, as long as its link is up.
//
// IPv4 first: the interface of the IPv4 default route (lowest metric), if
// its link is active, gives its first IPv4 address. Otherwise, when there
// is an IPv6 default route on an active link, that interface's last IPv6
// address that is not link-local (fe80::/10 written as "fe80..."), or
// failing that its last link-local one.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zlk::platform {

struct InterfaceAddress {
    std::string interfaceName;
    int family = 0;  // AF_INET or AF_INET6
    std::string address;  // as inet_ntop writes it, without a zone
};

// Every IPv4 and IPv6 address of the computer (getifaddrs), in its order.
std::vector<InterfaceAddress> SystemInterfaceAddresses();

// Where the network facts come from; tests point these at fixtures.
struct NetworkSources {
    std::filesystem::path ipv4Routes = "/proc/net/route";
    std::filesystem::path ipv6Routes = "/proc/net/ipv6_route";
    // Holds <interface>/operstate and <interface>/carrier.
    std::filesystem::path interfaces = "/sys/class/net";
    std::function<std::vector<InterfaceAddress>()> addresses = SystemInterfaceAddresses;
};

// The interface of the default route in a /proc/net/route or
// /proc/net/ipv6_route text: up, not a reject route, lowest metric first.
std::optional<std::string> DefaultRouteInterfaceIPv4(std::string_view routes);
std::optional<std::string> DefaultRouteInterfaceIPv6(std::string_view routes);

// The link is active: operstate "up", or "unknown" (drivers that do not
// report) with carrier 1.
bool IsLinkActive(const std::filesystem::path& interfaces, const std::string& interfaceName);

std::optional<std::string> PrimaryNetworkAddress(const NetworkSources& sources = {});

}  // namespace zlk::platform
