// How the accounting panel names the computer that sent a job.
#include <gtest/gtest.h>

#include <netinet/in.h>

#include <string>
#include <vector>

#include "dialog/account/clientidentity.h"

namespace zlk::account {
namespace {

TEST(ClientIdentity, AddressesAreEncodedForThePrinter)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"10.0.0.255", "I0A0000FF"},
        {"192.168.0.1", "IC0A80001"},
        {"10.0.0.256", ""},
        {"1000.1.1.1", ""},
        {"10.0.1", ""},
        {"1.2.3.4.5", ""},
        {"1a.2.3.4", ""},
        {"2001:db8::1", "620010db8000000000000000000000001"},
        {"fe80::1%en0", "6fe800000000000000000000000000001"},
        {"FE80::ABCD", "6FE80000000000000000000000000ABCD"},
        {"::", "600000000000000000000000000000000"},
        {"1:2:3:4:5:6:7:8", "600010002000300040005000600070008"},
        {"1::2::3", ""},
        {"12345::1", ""},
        {"1:2:3:4:5:6:7:8:9", ""},
        {"g::1", ""},
        {"", ""},
        {"localhost", ""},
    };
    for (const auto& [address, encoded] : cases) {
        EXPECT_EQ(GetClientIPAddress(address), encoded) << address;
    }
}

// Eleven characters of three bytes each.
const std::string kJapaneseName = "\u65E5\u672C\u8A9E\u306E\u30B3\u30F3\u30D4\u30E5\u30FC\u30BF\u540D";

TEST(ClientIdentity, ComputerNamesAreFilteredAndCut)
{
    const std::string forty(40, 'a');
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Office Mac", "Office Mac"},
        {"Anna\u2019s laptop", "Anna___s laptop"},
        {forty, forty.substr(0, 32)},
        {"   ", ""},
        {"", ""},
        {"tab\there", "tab_here"},
        {std::string(64, 'b'), ""},  // does not fit with its terminator
        {"Bj\u00F6rn", "Bj\xC3\xB6rn"},
        // A cut falls between characters: eleven of three bytes keep ten.
        {kJapaneseName, kJapaneseName.substr(0, 30)},
        {"a" + kJapaneseName, "a" + kJapaneseName.substr(0, 30)},
        {"ab" + kJapaneseName, "ab" + kJapaneseName.substr(0, 30)},
        // Not UTF-8: no name to convert.
        {"\xFF\xFE", ""},
        {"Caf\xC3", ""},
    };
    for (const auto& [name, written] : cases) {
        EXPECT_EQ(FilterComputerName(name, 0x20, 0xFE, 64), written) << name;
    }
}

TEST(ClientIdentity, HostInformationGoesToTheTicket)
{
    const std::string net = std::string(ZLK_TEST_FIXTURES) + "/platform/net/";
    auto sources = [&](const std::string& computerName, const char* routes, const char* ipv6Routes) {
        ClientIdentitySources s;
        s.computerName = computerName;
        s.hostName = "anna-laptop";
        s.network.ipv4Routes = net + routes;
        s.network.ipv6Routes = net + ipv6Routes;
        s.network.interfaces = net + "class";
        s.network.addresses = [] {
            return std::vector<platform::InterfaceAddress>{{"eth0", AF_INET, "10.0.1.23"},
                                                           {"eth0", AF_INET6, "2001:db8::20"}};
        };
        return s;
    };
    struct Case {
        std::string computerName, written;
        const char* routes;
        const char* ipv6Routes;
        bool hasAddress;
        std::string address;
    };
    for (const Case& c : std::vector<Case>{
             {"Anna\u2019s laptop", "Anna___s laptop", "route-two-defaults", "ipv6_route-default", true, "I0A000117"},
             {"Anna\u2019s laptop", "Anna___s laptop", "route-no-default", "ipv6_route-default", true,
              "620010db8000000000000000000000020"},
             {"Anna\u2019s laptop", "Anna___s laptop", "route-no-default", "ipv6_route-no-default", false, ""},
             // A long name loses its end, never the host name or address.
             {kJapaneseName, kJapaneseName.substr(0, 30), "route-two-defaults", "ipv6_route-default", true,
              "I0A000117"},
             {"Caf\xC3", "", "route-two-defaults", "ipv6_route-default", true, "I0A000117"}}) {
        platform::PMPrintSettings settings;
        ASSERT_TRUE(SetInformationToTicket(&settings, false, sources(c.computerName, c.routes, c.ipv6Routes)))
            << c.computerName;
        std::string value;
        EXPECT_EQ(platform::PMPrintSettingsGetValue(
                      &settings, "com.zelko.jt.printsettings.pdf.ww.JBAMacHostNameStringTicket", &value),
                  platform::noErr);
        EXPECT_EQ(value, c.written);
        EXPECT_EQ(platform::PMPrintSettingsGetValue(
                      &settings, "com.zelko.jt.printsettings.pdf.ww.JBAHostNameStringTicket", &value),
                  platform::noErr);
        EXPECT_EQ(value, "anna-laptop");
        const bool found =
            platform::PMPrintSettingsGetValue(&settings, "com.zelko.jt.printsettings.pdf.ww.JBAIPAddressStringTicket",
                                              &value) == platform::noErr;
        EXPECT_EQ(found, c.hasAddress) << c.routes;
        if (found) {
            EXPECT_EQ(value, c.address);
        }
    }
}

}  // namespace
}  // namespace zlk::account
