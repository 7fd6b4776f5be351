#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/system/helpviewer.h"
#include "platform/system/identity.h"
#include "platform/system/network.h"
#include "platform/system/storedsettings.h"
#include "testpdf.h"

namespace zlk::platform {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using zlk::test::ReadFile;
using zlk::test::TempDir;
using zlk::test::WriteFile;

const std::string kFixtures = std::string(ZLK_TEST_FIXTURES) + "/platform";

std::vector<std::string> FilesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

int ModeOf(const fs::path& path)
{
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return static_cast<int>(info.st_mode & 07777);
}

// --- Stored print settings ----------------------------------------------------

PMPrintSettings SampleSettings()
{
    PMPrintSettings settings;
    settings.Set("com.zelko.jt.printsettings.pdf.ww.PrintTypeTicketKey", "2", false);
    settings.Set("com.zelko.jt.printsettings.pdf.ww.DocumentNameTicketKey", "Quarterly \"report\" 日本語", true);
    settings.Set("com.zelko.jt.printsettings.pdf.ww.PrintTypeUserNameReference", "", false);
    // Not text: must survive all the same.
    settings.Set("com.zelko.jt.printsettings.pdf.ww.Raw", std::string("\xff\xfe\x00\x80", 4), false);
    return settings;
}

class StoredSettings : public ::testing::Test {
protected:
    TempDir dir;
    fs::path folder = fs::path(dir.path()) / "config" / "zelko" / "printsettings";
    PrintSettingsStore store{folder};
};

TEST_F(StoredSettings, RoundTripWithPrivateFileAndFolder)
{
    const PMPrintSettings saved = SampleSettings();
    StoreResult result = store.Save("Office_3F", saved);
    ASSERT_TRUE(result.ok()) << result.message;

    EXPECT_EQ(ModeOf(store.PathFor("Office_3F")), 0600);
    EXPECT_EQ(ModeOf(folder), 0700);
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"Office_3F.json"});

    PMPrintSettings loaded;
    loaded.Set("stale", "x", false);
    result = store.Load("Office_3F", loaded);
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_EQ(loaded, saved);

    // Saving again replaces the whole set.
    PMPrintSettings smaller;
    smaller.Set("only", "one", true);
    ASSERT_TRUE(store.Save("Office_3F", smaller).ok());
    ASSERT_TRUE(store.Load("Office_3F", loaded).ok());
    EXPECT_EQ(loaded, smaller);
    EXPECT_EQ(ModeOf(store.PathFor("Office_3F")), 0600);
}

TEST_F(StoredSettings, NothingStoredYet)
{
    PMPrintSettings loaded;
    loaded.Set("stale", "x", false);
    StoreResult result = store.Load("Lobby", loaded);
    EXPECT_EQ(result.status, fnfErr);
    EXPECT_TRUE(loaded.empty());
    EXPECT_EQ(store.Load("", loaded).status, paramErr);
    EXPECT_EQ(store.Save("", SampleSettings()).status, paramErr);
}

TEST_F(StoredSettings, AbandonedWriteLeavesTheGoodFileAndNoLeftovers)
{
    const PMPrintSettings good = SampleSettings();
    ASSERT_TRUE(store.Save("Office", good).ok());
    const std::string before = ReadFile(store.PathFor("Office"));

    fs::path seenTemporary;
    PrintSettingsStore failing(folder, [&](const fs::path& temporary) {
        seenTemporary = temporary;
        EXPECT_EQ(temporary.parent_path(), folder) << "the temporary file must be on the same file system";
        EXPECT_EQ(ModeOf(temporary), 0600);
        return false;
    });
    PMPrintSettings other;
    other.Set("new", "value", false);
    StoreResult result = failing.Save("Office", other);
    EXPECT_EQ(result.status, ioErr);
    EXPECT_FALSE(seenTemporary.empty());

    EXPECT_EQ(ReadFile(store.PathFor("Office")), before);
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"Office.json"});
}

TEST_F(StoredSettings, WriterKilledBeforeRenameLeavesTheGoodFile)
{
    const PMPrintSettings good = SampleSettings();
    ASSERT_TRUE(store.Save("Office", good).ok());

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        PrintSettingsStore dying(folder, [](const fs::path&) -> bool { ::_exit(0); });
        PMPrintSettings other;
        other.Set("new", std::string(100000, 'n'), false);
        dying.Save("Office", other);
        ::_exit(1);  // not reached: the hook ends the writer
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << "the writer must have reached the point before the rename";

    // The crash left its complete temporary file behind; the stored
    // settings are the old ones, whole.
    EXPECT_EQ(FilesIn(folder).size(), 2u);
    PMPrintSettings loaded;
    StoreResult result = store.Load("Office", loaded);
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_EQ(loaded, good);
}

TEST_F(StoredSettings, DamagedFilesAreMovedAsideAndReported)
{
    const std::vector<std::pair<std::string, std::string>> damaged{
        {"not JSON", "{\"format\": 1, \"entries\": {"},
        {"empty file", ""},
        {"array", "[1, 2]"},
        {"no format", "{\"entries\": {}}"},
        {"future format", "{\"format\": 2, \"entries\": {}}"},
        {"format past int", "{\"format\": 4294967297, \"entries\": {}}"},
        {"entries not an object", "{\"format\": 1, \"entries\": []}"},
        {"value not text", "{\"format\": 1, \"entries\": {\"k\": {\"value\": 3, \"locked\": false}}}"},
        {"no lock flag", "{\"format\": 1, \"entries\": {\"k\": {\"value\": \"v\"}}}"},
        {"bad hex", "{\"format\": 1, \"entries\": {\"k\": {\"hex\": \"zz\", \"locked\": false}}}"},
        {"both forms", "{\"format\": 1, \"entries\": {\"k\": {\"value\": \"v\", \"hex\": \"76\", \"locked\": true}}}"},
        {"invalid UTF-8", "{\"format\": 1, \"entries\": {\"k\": {\"value\": \"\xff\", \"locked\": false}}}"},
    };
    for (const auto& [what, content] : damaged) {
        SCOPED_TRACE(what);
        fs::create_directories(folder);
        WriteFile(store.PathFor("Office").string(), content);

        PMPrintSettings loaded;
        loaded.Set("stale", "x", false);
        StoreResult result = store.Load("Office", loaded);
        EXPECT_EQ(result.status, kDamagedDataErr);
        EXPECT_TRUE(loaded.empty());
        EXPECT_THAT(result.message, HasSubstr("damaged"));
        ASSERT_FALSE(result.movedAside.empty());
        EXPECT_THAT(result.message, HasSubstr(result.movedAside.string()));
        EXPECT_EQ(result.movedAside.parent_path(), folder);
        EXPECT_THAT(result.movedAside.filename().string(), ::testing::StartsWith("Office.json.damaged-"));
        EXPECT_EQ(ReadFile(result.movedAside.string()), content);
        EXPECT_FALSE(fs::exists(store.PathFor("Office")));

        // The next save starts afresh beside the kept copy.
        ASSERT_TRUE(store.Save("Office", SampleSettings()).ok());
        ASSERT_TRUE(store.Load("Office", loaded).ok());
        fs::remove(store.PathFor("Office"));
    }
    // Every damaged copy was kept under its own name.
    EXPECT_EQ(FilesIn(folder).size(), damaged.size());
}

TEST_F(StoredSettings, HostileQueueNamesStayInsideTheFolderAndApart)
{
    const std::vector<std::string> queues{
        "..",
        ".",
        "../../etc/passwd",
        "a/b",
        "a%2Fb",
        ".hidden",
        "with space",
        "Büro_3F",
        "\n",
        std::string(500, 'q'),
        std::string(499, 'q') + "r",
        std::string(300, '/'),
    };
    std::set<std::string> files;
    for (std::size_t i = 0; i < queues.size(); ++i) {
        const std::string& queue = queues[i];
        const fs::path path = store.PathFor(queue);
        EXPECT_EQ(path.parent_path(), folder) << queue;
        const std::string name = path.filename().string();
        EXPECT_NE(name.front(), '.') << queue;
        EXPECT_LE(name.size(), 200u) << queue;
        files.insert(name);

        PMPrintSettings settings;
        settings.Set("queue", queue, false);
        ASSERT_TRUE(store.Save(queue, settings).ok()) << queue;
    }
    EXPECT_EQ(files.size(), queues.size()) << "two queues share a file";
    EXPECT_EQ(FilesIn(folder).size(), queues.size());
    for (const std::string& queue : queues) {
        PMPrintSettings loaded;
        ASSERT_TRUE(store.Load(queue, loaded).ok()) << queue;
        EXPECT_EQ(loaded.Find("queue")->value, queue);
    }
    EXPECT_FALSE(fs::exists(fs::path(dir.path()) / "etc"));
}

TEST(StoredSettingsFolder, FollowsXdgConfigHome)
{
    EXPECT_EQ(DefaultPrintSettingsFolder("/x/conf", "/home/anna"), fs::path("/x/conf/zelko/printsettings"));
    EXPECT_EQ(DefaultPrintSettingsFolder("", "/home/anna"), fs::path("/home/anna/.config/zelko/printsettings"));
    // A relative XDG_CONFIG_HOME is invalid and ignored.
    EXPECT_EQ(DefaultPrintSettingsFolder("conf", "/home/anna"), fs::path("/home/anna/.config/zelko/printsettings"));
}

// --- Administrator check --------------------------------------------------------

class FakeGroups : public GroupDirectory {
public:
    std::map<std::string, gid_t> ids;
    std::map<std::string, std::vector<gid_t>> supplementary;

    std::optional<gid_t> GroupId(const std::string& name) const override
    {
        auto it = ids.find(name);
        return it == ids.end() ? std::nullopt : std::optional<gid_t>(it->second);
    }
    std::vector<gid_t> GroupsOf(const std::string& login, gid_t primary) const override
    {
        std::vector<gid_t> groups{primary};
        if (auto it = supplementary.find(login); it != supplementary.end()) {
            groups.insert(groups.end(), it->second.begin(), it->second.end());
        }
        return groups;
    }
};

class AdminCheck : public ::testing::Test {
protected:
    TempDir dir;
    FakeGroups groups;
    std::string conf = dir.file("cups-files.conf");

    void SetUp() override
    {
        groups.ids = {{"root", 0},   {"sys", 3},        {"admin", 110}, {"lpadmin", 120},
                      {"wheel", 10}, {"printops", 500}, {"users", 100}, {"anna", 1000}};
    }
    bool Check(const std::string& login, gid_t primary, std::vector<gid_t> others = {}, uid_t uid = 1000)
    {
        groups.supplementary[login] = std::move(others);
        return IsUserAdmin(UserIdentity{uid, login, primary}, groups, conf);
    }
};

TEST_F(AdminCheck, DefaultGroupsWhenCupsNamesNone)
{
    // No cups-files.conf at all.
    EXPECT_TRUE(Check("anna", 1000, {100, 120}));  // lpadmin, supplementary
    EXPECT_TRUE(Check("anna", 3));  // sys, primary
    EXPECT_TRUE(Check("anna", 1000, {110}));  // admin
    EXPECT_FALSE(Check("anna", 1000, {100, 500}));
    EXPECT_TRUE(Check("root", 0, {}, 0));
    EXPECT_TRUE(Check("anyone", 1000, {}, 0)) << "uid 0 is always an administrator";

    WriteFile(conf, "# only comments\nLogLevel warn\n");
    EXPECT_TRUE(Check("anna", 1000, {120}));
}

TEST_F(AdminCheck, SystemGroupLinesReplaceTheDefaults)
{
    WriteFile(conf,
              "# Administrators\n"
              "  systemgroup printops   # the print team\n"
              "SystemGroup wheel,nosuchgroup\n"
              "#SystemGroup lpadmin\n"
              "FileDevice No\n");
    EXPECT_EQ(CupsSystemGroups(conf), (std::vector<std::string>{"printops", "wheel", "nosuchgroup"}));
    EXPECT_TRUE(Check("anna", 1000, {500}));
    EXPECT_TRUE(Check("anna", 10));
    EXPECT_FALSE(Check("anna", 1000, {120})) << "lpadmin is no longer named";
    EXPECT_TRUE(Check("anna", 1000, {110})) << "admin always counts";
}

TEST_F(AdminCheck, UnknownUserIsNoAdministrator)
{
    std::string failure;
    EXPECT_FALSE(IsUserAdmin(UserIdentity{4242, "", 120}, groups, conf, &failure));
    EXPECT_THAT(failure, HasSubstr("4242"));
}

TEST(Identity, RealUserFacts)
{
    // Only what holds on any machine: the login name is the password
    // entry's, and the process's own check agrees with the parts.
    UserIdentity me = CurrentUser();
    EXPECT_EQ(me.uid, ::getuid());
    EXPECT_EQ(LoginName(), me.loginName);
    EXPECT_EQ(IsUserAdmin(), IsUserAdmin(me, SystemGroupDirectory(), DefaultCupsFilesConf()));
    if (me.uid == 0) {
        EXPECT_TRUE(IsUserAdmin());
    }
    SystemGroupDirectory system;
    if (!me.loginName.empty()) {
        std::vector<gid_t> mine = system.GroupsOf(me.loginName, me.primaryGroup);
        EXPECT_THAT(mine, ::testing::Contains(me.primaryGroup));
    }
    EXPECT_FALSE(system.GroupId("no-such-group-zelko").has_value());

    const std::string release = KernelRelease();
    EXPECT_THAT(release, ::testing::MatchesRegex("[0-9]+\\.[0-9]+.*"));
}

// --- Computer name ----------------------------------------------------------------

TEST(ComputerName, PrettyHostNameWinsOverTheHostName)
{
    EXPECT_EQ(ComputerName(kFixtures + "/machine-info", "anna-laptop"), "Anna’s \"Work\" Laptop");
    EXPECT_EQ(ComputerName(kFixtures + "/no-such-file", "anna-laptop"), "anna-laptop");
}

TEST(ComputerName, ShellStyleQuoting)
{
    TempDir dir;
    const std::string file = dir.file("machine-info");
    const std::vector<std::pair<std::string, std::string>> cases{
        {"PRETTY_HOSTNAME=Plain\n", "Plain"},
        {"PRETTY_HOSTNAME='Single \"quoted\" \\ text'\n", "Single \"quoted\" \\ text"},
        {"PRETTY_HOSTNAME=\"Back\\\\slash \\$HOME \\n kept\"\n", "Back\\slash $HOME \\n kept"},
        {"PRETTY_HOSTNAME=Escaped\\ space\\'s   \n", "Escaped space's"},
        {"PRETTY_HOSTNAME=Mixed' 'and\" \"parts\n", "Mixed and parts"},
        {"PRETTY_HOSTNAME=\"Line\\\ncontinued\"\n", "Linecontinued"},
        {"PRETTY_HOSTNAME=First\nPRETTY_HOSTNAME=Second\n", "Second"},
        {"  PRETTY_HOSTNAME  =  Spaced  \n", "Spaced"},
        {"# PRETTY_HOSTNAME=Commented\n; PRETTY_HOSTNAME=Also\n", ""},
        {"PRETTY_HOSTNAME_EXTRA=Other\nNOT_PRETTY_HOSTNAME=No\n", ""},
        {"PRETTY_HOSTNAME=\"No end quote", "No end quote"},
        {"PRETTY_HOSTNAME=\n", ""},
    };
    for (const auto& [content, pretty] : cases) {
        WriteFile(file, content);
        EXPECT_EQ(PrettyHostName(file), pretty) << content;
        EXPECT_EQ(ComputerName(file, "host"), pretty.empty() ? "host" : pretty) << content;
    }
}

// --- Primary network address --------------------------------------------------------

InterfaceAddress V4(const char* name, const char* address) { return {name, AF_INET, address}; }
InterfaceAddress V6(const char* name, const char* address) { return {name, AF_INET6, address}; }

NetworkSources Fixture(const std::string& routes, const std::string& ipv6Routes,
                       std::vector<InterfaceAddress> addresses)
{
    const std::string net = kFixtures + "/net/";
    NetworkSources sources;
    sources.ipv4Routes = net + routes;
    sources.ipv6Routes = net + ipv6Routes;
    sources.interfaces = net + "class";
    sources.addresses = [addresses] { return addresses; };
    return sources;
}

const std::vector<InterfaceAddress> kAddresses{
    V4("lo", "127.0.0.1"),      V4("eth0", "10.0.1.23"), V4("eth0", "10.0.1.99"),      V4("wlan0", "192.168.0.5"),
    V4("tun0", "172.16.9.2"),   V6("lo", "::1"),         V6("eth0", "fe80::1"),        V6("eth0", "2001:db8::10"),
    V6("eth0", "2001:db8::20"), V6("eth0", "FE80::2"),   V6("wlan0", "2001:db8:1::5"),
};

TEST(PrimaryAddress, IPv4OfTheActiveDefaultRouteComesFirst)
{
    // Default routes on wlan0 (metric 600) and eth0 (metric 100); IPv6 too.
    EXPECT_EQ(PrimaryNetworkAddress(Fixture("route-two-defaults", "ipv6_route-default", kAddresses)), "10.0.1.23");
    // A VPN with a lower metric on a link that reports "unknown" but has carrier.
    EXPECT_EQ(PrimaryNetworkAddress(Fixture("route-vpn", "ipv6_route-no-default", kAddresses)), "172.16.9.2");
}

TEST(PrimaryAddress, IPv6WhenThereIsNoUsableIPv4)
{
    // No IPv4 default route: the last IPv6 address that is not link-local.
    EXPECT_EQ(PrimaryNetworkAddress(Fixture("route-no-default", "ipv6_route-default", kAddresses)), "2001:db8::20");
    // The IPv4 default route's interface is down.
    EXPECT_EQ(PrimaryNetworkAddress(Fixture("route-down-default", "ipv6_route-default", kAddresses)), "2001:db8::20");
    // The IPv4 interface has no IPv4 address.
    std::vector<InterfaceAddress> noV4{V6("eth0", "2001:db8::10")};
    EXPECT_EQ(PrimaryNetworkAddress(Fixture("route-two-defaults", "ipv6_route-default", noV4)), "2001:db8::10");
    // Only link-local addresses: the last of them.
    std::vector<InterfaceAddress> linkLocal{V6("eth0", "fe80::1"), V6("eth0", "fe80::2"), V4("wlan0", "192.168.0.5")};
    EXPECT_EQ(PrimaryNetworkAddress(Fixture("route-no-default", "ipv6_route-default", linkLocal)), "fe80::2");
}

TEST(PrimaryAddress, NoneWithoutAnActiveDefaultRoute)
{
    EXPECT_EQ(PrimaryNetworkAddress(Fixture("route-no-default", "ipv6_route-no-default", kAddresses)), std::nullopt);
    EXPECT_EQ(PrimaryNetworkAddress(Fixture("route-down-default", "ipv6_route-no-default", kAddresses)), std::nullopt);
    // A name that would leave the interfaces folder, and a reject route.
    EXPECT_EQ(PrimaryNetworkAddress(Fixture("route-hostile", "ipv6_route-no-default", kAddresses)), std::nullopt);
    EXPECT_EQ(PrimaryNetworkAddress(Fixture("no-such-file", "no-such-file", kAddresses)), std::nullopt);
    // An active default route on an interface without addresses.
    EXPECT_EQ(PrimaryNetworkAddress(Fixture("route-two-defaults", "ipv6_route-default", {})), std::nullopt);
}

TEST(PrimaryAddress, LinkActivity)
{
    const std::string net = kFixtures + "/net/class";
    EXPECT_TRUE(IsLinkActive(net, "eth0"));
    EXPECT_FALSE(IsLinkActive(net, "wlan0"));
    EXPECT_TRUE(IsLinkActive(net, "tun0"));
    EXPECT_FALSE(IsLinkActive(net, "eth1")) << "unknown state without carrier";
    EXPECT_FALSE(IsLinkActive(net, "eth9"));
    EXPECT_FALSE(IsLinkActive(net, ".."));
}

TEST(PrimaryAddress, SystemAddressesAreWellFormed)
{
    for (const InterfaceAddress& a : SystemInterfaceAddresses()) {
        unsigned char bytes[16];
        EXPECT_EQ(inet_pton(a.family, a.address.c_str(), bytes), 1) << a.interfaceName << " " << a.address;
    }
}

// --- Help viewer -------------------------------------------------------------------

class HelpViewerTest : public ::testing::Test {
protected:
    TempDir dir;
    fs::path help = fs::path(dir.path()) / "Help";
    fs::path page = help / "secure print.htm";

    void SetUp() override
    {
        fs::create_directories(help);
        WriteFile(page.string(), "<html></html>");
    }
};

TEST_F(HelpViewerTest, RecordingViewerKeepsWhatWasAsked)
{
    RecordingHelpViewer viewer;
    EXPECT_EQ(viewer.RegisterHelpBook("Zelko Help", help), noErr);
    EXPECT_EQ(viewer.RegisterHelpBook("Zelko Help", help / "missing"), fnfErr);
    EXPECT_EQ(viewer.RegisterHelpBook("", help), paramErr);
    EXPECT_EQ(viewer.books(), (std::vector<RecordingHelpViewer::Book>{{"Zelko Help", help}}));

    EXPECT_EQ(viewer.OpenHelpPage({"Zelko Help", page, "passcode"}), noErr);
    EXPECT_EQ(viewer.OpenHelpPage({"Zelko Help", help / "missing.htm", ""}), fnfErr);
    EXPECT_EQ(viewer.OpenHelpPage({"", page, ""}), paramErr);
    EXPECT_EQ(viewer.requests(), (std::vector<HelpRequest>{{"Zelko Help", page, "passcode"}}));
}

TEST_F(HelpViewerTest, PageURLIsEncoded)
{
    EXPECT_EQ(HelpPageURL({"b", "/a b/ü#.htm", "sec tion"}), "file:///a%20b/%C3%BC%23.htm#sec%20tion");
    EXPECT_EQ(HelpPageURL({"b", "/help/index.htm", ""}), "file:///help/index.htm");
}

TEST_F(HelpViewerTest, DesktopViewerHandsThePageToXdgOpen)
{
    // A stand-in xdg-open that writes down its argument.
    const fs::path bin = fs::path(dir.path()) / "bin";
    const fs::path out = fs::path(dir.path()) / "opened";
    fs::create_directories(bin);
    WriteFile((bin / "xdg-open").string(), "#!/bin/sh\nprintf '%s' \"$1\" > \"" + out.string() + ".tmp\"\n/bin/mv \"" +
                                               out.string() + ".tmp\" \"" + out.string() + "\"\n");
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);

    const char* oldPath = std::getenv("PATH");
    const std::string saved = oldPath != nullptr ? oldPath : "";
    ::setenv("PATH", bin.c_str(), 1);
    DesktopHelpViewer viewer;
    OSStatus opened = viewer.OpenHelpPage({"Zelko Help", page, "passcode"});
    OSStatus missing = viewer.OpenHelpPage({"Zelko Help", help / "missing.htm", ""});
    ::setenv("PATH", saved.c_str(), 1);

    EXPECT_EQ(opened, noErr);
    EXPECT_EQ(missing, fnfErr);
    // The viewer does not wait for the browser.
    for (int i = 0; i < 500 && !fs::exists(out); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(fs::exists(out));
    EXPECT_EQ(ReadFile(out.string()), HelpPageURL({"Zelko Help", page, "passcode"}));
    EXPECT_EQ(viewer.RegisterHelpBook("Zelko Help", help), noErr);
}

}  // namespace
}  // namespace zlk::platform
