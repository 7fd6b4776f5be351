#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "fixtures.h"
#include "ppd/sysutil.h"

namespace zlk::ppd {
namespace {

TEST(ppd_services_Version, SelectorsFromKernelRelease)
{
    int value = 0;
    EXPECT_EQ(Gestalt_ALT(FourCharCode("sysv"), &value, "15.6.0"), 0);
    EXPECT_EQ(value, 0x10B6);
    EXPECT_EQ(Gestalt_ALT(FourCharCode("sys1"), &value, "15.6.0"), 0);
    EXPECT_EQ(value, 10);
    EXPECT_EQ(Gestalt_ALT(FourCharCode("sys2"), &value, "15.6.0"), 0);
    EXPECT_EQ(value, 11);
    EXPECT_EQ(Gestalt_ALT(FourCharCode("sys3"), &value, "15.6.0"), 0);
    EXPECT_EQ(value, 6);
    EXPECT_EQ(VersionWordFromKernelRelease("6.1.0-18-amd64"), 0x1021u);
    EXPECT_EQ(VersionWordFromKernelRelease("7.9"), 0x1039u);
}

TEST(ppd_services_Version, UnsupportedSelectorIsReported)
{
    int value = 123;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Gestalt_ALT(FourCharCode("sysx"), &value, "15.6.0"), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Gestalt_ALT : selector '73797378' not supported.\n");
    EXPECT_EQ(value, 123);
}

TEST(ppd_services_Version, ThisMachineWordIsKept)
{
    int first = 0, second = 0;
    ASSERT_EQ(Gestalt_ALT(FourCharCode("sysv"), &first), 0);
    ASSERT_EQ(Gestalt_ALT(FourCharCode("sysv"), &second), 0);
    EXPECT_EQ(first, second);
    EXPECT_EQ(static_cast<std::uint32_t>(first), VersionWordFromKernelRelease(platform::KernelRelease()));
}

class FakeGroups final : public platform::GroupDirectory {
public:
    std::map<std::string, gid_t> ids;
    std::vector<gid_t> memberOf;

    std::optional<gid_t> GroupId(const std::string& name) const override
    {
        auto it = ids.find(name);
        return it == ids.end() ? std::nullopt : std::optional<gid_t>(it->second);
    }
    std::vector<gid_t> GroupsOf(const std::string&, gid_t) const override { return memberOf; }
};

TEST(ppd_services_Admin, MembershipDecidesAndOnlyAFailedLookupIsLogged)
{
    const std::filesystem::path noConf = test::PpdFixturePath("no-cups-files.conf");
    FakeGroups groups;
    groups.ids = {{"admin", 80}, {"lpadmin", 120}, {"staff", 20}};
    std::vector<std::string> logged;
    auto log = [&](const std::string& message) { logged.push_back(message); };

    const platform::UserIdentity alice{1000, "alice", 1000};
    groups.memberOf = {20};
    EXPECT_FALSE(IsUserAdmin(alice, groups, noConf, log));
    groups.memberOf = {20, 80};
    EXPECT_TRUE(IsUserAdmin(alice, groups, noConf, log));
    groups.memberOf = {120};
    EXPECT_TRUE(IsUserAdmin(alice, groups, noConf, log));
    EXPECT_TRUE(IsUserAdmin({0, "root", 0}, groups, noConf, log));
    EXPECT_TRUE(logged.empty());

    EXPECT_FALSE(IsUserAdmin({1001, "", 1001}, groups, noConf, log));
    EXPECT_EQ(logged, std::vector<std::string>{"UtilityService - group lookup failed."});
}

class ppd_services_Help : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::OSStatus status = 0;
        bundle = platform::Bundle::Open(test::PpdFixturePath("ZLKHelp.plugin"), &status);
        ASSERT_NE(bundle, nullptr) << status;
    }

    std::shared_ptr<const platform::Bundle> bundle;
    platform::RecordingHelpViewer viewer;
};

TEST_F(ppd_services_Help, RegistersTheBundlesBook)
{
    EXPECT_EQ(RegisterMyHelpBook(nullptr, viewer), -43);
    EXPECT_EQ(RegisterMyHelpBook(bundle.get(), viewer), 0);
    ASSERT_EQ(viewer.books().size(), 1u);
    EXPECT_EQ(viewer.books()[0].name, "Zelko Printer Help");
    EXPECT_EQ(viewer.books()[0].folder, bundle->HelpFolder());
}

TEST_F(ppd_services_Help, OpensPageInTheBookNamedByTheKey)
{
    EXPECT_EQ(GotoHelpPage(nullptr, "margins.htm", "shift", "Help Book", viewer), -43);
    EXPECT_EQ(GotoHelpPage(bundle.get(), "margins.htm", "shift", "Help Book", viewer), 0);
    ASSERT_EQ(viewer.requests().size(), 1u);
    EXPECT_EQ(viewer.requests()[0],
              (platform::HelpRequest{"Zelko Printer Help", bundle->HelpPagePath("margins.htm"), "shift"}));

    EXPECT_EQ(GotoHelpPage(bundle.get(), "margins.htm", "", "Empty Book", viewer), -50);
    EXPECT_EQ(GotoHelpPage(bundle.get(), "missing.htm", "", "Help Book", viewer), -43);
    // A key without a text gives the fallback name, which still opens.
    EXPECT_EQ(GotoHelpPage(bundle.get(), "margins.htm", "", "Number Book", viewer), 0);
    EXPECT_EQ(viewer.requests().back().bookName, "no translation");
}

}  // namespace
}  // namespace zlk::ppd
