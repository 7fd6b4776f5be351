#include <gtest/gtest.h>

#include <string>

#include "platform/system/bundle.h"
#include "testpdf.h"

namespace zlk::platform {
namespace {

namespace fs = std::filesystem;

const fs::path kBundles = fs::path(ZLK_TEST_FIXTURES) / "platform" / "bundle";

std::shared_ptr<const Bundle> OpenTestBundle()
{
    OSStatus status = -1;
    std::string message;
    auto bundle = Bundle::Open(kBundles / "ZLKTest.plugin", &status, &message);
    EXPECT_EQ(status, noErr) << message;
    return bundle;
}

TEST(Bundle, InformationDictionary)
{
    auto bundle = OpenTestBundle();
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->version(), "1.2.3");
    EXPECT_EQ(bundle->InfoString("CFBundleIdentifier"), "com.zelko.test.pde");
    EXPECT_EQ(bundle->InfoString("PMPPDKeysSupported"), "") << "not text";
    EXPECT_EQ(bundle->InfoString("Missing"), "");

    const nlohmann::json& info = bundle->infoDictionary();
    ASSERT_TRUE(info.contains("PMPPDKeysSupported"));
    EXPECT_EQ(info["PMPPDKeysSupported"], (nlohmann::json{"MediaType", "OutputBin", "ZLKStaple"}));
    EXPECT_EQ(info["Default00"][0], (nlohmann::json{"ZLKPunch", "ZLKFold"}));
}

TEST(Bundle, StringTablesFallBackToNoTranslation)
{
    auto bundle = OpenTestBundle();
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->LocalizedString("PDE Title"), "Printer Features");
    EXPECT_EQ(bundle->LocalizedString("PDE Title", "Localizable01"), "Printer Features (Series 01)");
    EXPECT_EQ(bundle->LocalizedString("Alert OK Btn", "Localizable01"), kNoTranslation)
        << "tables do not borrow from each other";
    EXPECT_EQ(bundle->LocalizedString("Missing Key"), "no translation");
    EXPECT_EQ(bundle->LocalizedString("Not Text"), "no translation");
    EXPECT_EQ(bundle->LocalizedString("PDE Title", "Localizable99"), "no translation");
    EXPECT_EQ(bundle->LocalizedString("Missing Key", kDefaultStringTable, "Missing Key"), "Missing Key");

    EXPECT_TRUE(bundle->HasStringTable("Localizable01"));
    EXPECT_FALSE(bundle->HasStringTable("LocalizableBroken"));
    EXPECT_EQ(bundle->damagedTables(), std::vector<std::string>{"LocalizableBroken"});
    EXPECT_EQ(bundle->LocalizedString("not", "LocalizableBroken"), "no translation");
}

TEST(Bundle, ResourcesExistWhenTheirFilesExist)
{
    auto bundle = OpenTestBundle();
    ASSERT_TRUE(bundle);
    EXPECT_TRUE(bundle->HelpPageExists("index.htm"));
    EXPECT_EQ(bundle->HelpPagePath("index.htm"), kBundles / "ZLKTest.plugin" / "Resources" / "Help" / "index.htm");
    EXPECT_FALSE(bundle->HelpPageExists("missing.htm"));
    EXPECT_FALSE(bundle->HelpPageExists("../Localizable.json")) << "no climbing out of the help folder";
    EXPECT_FALSE(bundle->HelpPageExists("/etc/passwd"));
    EXPECT_FALSE(bundle->HelpPageExists(""));
    EXPECT_TRUE(bundle->HelpPagePath("../../Info.json").empty());

    EXPECT_TRUE(bundle->ResourceExists("Localizable.json"));
    EXPECT_TRUE(bundle->ResourceExists("Help/index.htm"));
    EXPECT_FALSE(bundle->ResourceExists("Help"));
    EXPECT_FALSE(bundle->ResourceExists("../Info.json"));
}

TEST(Bundle, LayoutsAreJSONObjects)
{
    auto bundle = OpenTestBundle();
    ASSERT_TRUE(bundle);
    nlohmann::json layout;
    ASSERT_EQ(bundle->LoadLayout("ZLKPrintFeature", layout), noErr);
    EXPECT_EQ(layout["kind"], "view");
    EXPECT_EQ(layout["children"][1]["tag"], 101);
    EXPECT_EQ(layout["children"][1]["title"], "Setup Btn");

    nlohmann::json untouched = {{"kept", true}};
    EXPECT_EQ(bundle->LoadLayout("Missing", untouched), fnfErr);
    EXPECT_EQ(bundle->LoadLayout("Truncated", untouched), kDamagedDataErr);
    EXPECT_EQ(bundle->LoadLayout("../Localizable", untouched), paramErr);
    EXPECT_EQ(bundle->LoadLayout("", untouched), paramErr);
    EXPECT_EQ(untouched, (nlohmann::json{{"kept", true}}));
}

TEST(Bundle, MissingOrDamagedBundles)
{
    OSStatus status = noErr;
    std::string message;
    EXPECT_EQ(Bundle::Open(kBundles / "Missing.plugin", &status, &message), nullptr);
    EXPECT_EQ(status, fnfErr);
    EXPECT_EQ(status, -43);
    EXPECT_FALSE(message.empty());

    EXPECT_EQ(Bundle::Open(kBundles / "ZLKTest.plugin" / "Info.json", &status), nullptr) << "a file is no bundle";
    EXPECT_EQ(status, fnfErr);
    EXPECT_EQ(Bundle::Open(kBundles / "NoInfo.plugin", &status), nullptr);
    EXPECT_EQ(status, fnfErr);
    EXPECT_EQ(Bundle::Open(kBundles / "BadInfo.plugin", &status, &message), nullptr);
    EXPECT_EQ(status, kDamagedDataErr);
    EXPECT_NE(message.find("Info.json"), std::string::npos);
}

}  // namespace
}  // namespace zlk::platform
