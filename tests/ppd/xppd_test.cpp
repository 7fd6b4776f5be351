#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>
#include <vector>

#include "fixtures.h"
#include "ppd/quickxppd.h"

namespace zlk::ppd {
namespace {

using test::OpenPpdFixture;
using test::PpdFixturePath;
using Entry = std::tuple<std::string, int, int, int>;

std::vector<Entry> Entries(const XConstraintTable& table)
{
    std::vector<Entry> entries;
    for (const auto& [key, ref] : table) {
        entries.emplace_back(key, ref.group, ref.option, ref.choice);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

int ConstraintIndex(ppd_file_t* ppd, const char* option1, const char* option2)
{
    for (int i = 0; i < ppd->num_consts; ++i) {
        if (std::strcmp(ppd->consts[i].option1, option1) == 0 && std::strcmp(ppd->consts[i].option2, option2) == 0) {
            return i;
        }
    }
    ADD_FAILURE() << "no constraint " << option1 << " " << option2;
    return -1;
}

const std::vector<std::string> kVendorKeywords = {"ZLKA",     "ZLKB",    "ZLKOn1",   "ZLKOn2",
                                                  "ZLKPunch", "ZLKFold", "ZLKStaple"};

// Positions in constraints.ppd: General = 0 {PageSize, ZLKA, ZLKB, ZLKOther},
// Finishing = 1 {ZLKOn1, ZLKOn2, ZLKPunch, ZLKFold, ZLKStaple}.
class ppd_services_XConstraints : public ::testing::Test {
protected:
    common::PPDHandle ppd = OpenPpdFixture(PpdFixturePath("constraints.ppd"));
    XConstraintTable table = MakeXConstraintTable();
};

TEST_F(ppd_services_XConstraints, BothChoicesGivenMakeOneEntryInOneDirection)
{
    SetXppd(ppd.get(), &table, {"ZLKA"});
    EXPECT_EQ(Entries(table), (std::vector<Entry>{{"ZLKB:Two", 0, 1, 1}}));

    EXPECT_FALSE(IsPPDChoiceConflicted(ppd.get(), &table, "ZLKB", "Two"));
    ppdMarkOption(ppd.get(), "ZLKA", "Yes");
    EXPECT_TRUE(IsPPDChoiceConflicted(ppd.get(), &table, "ZLKB", "Two"));
    EXPECT_FALSE(IsPPDChoiceConflicted(ppd.get(), &table, "ZLKB", "Three"));
    ppdMarkOption(ppd.get(), "ZLKB", "Two");
    EXPECT_FALSE(IsPPDChoiceConflicted(ppd.get(), &table, "ZLKA", "Yes"));
    ppdMarkOption(ppd.get(), "ZLKA", "No");
    EXPECT_FALSE(IsPPDChoiceConflicted(ppd.get(), &table, "ZLKB", "Two"));
}

TEST_F(ppd_services_XConstraints, NoChoicesPairEveryChoiceButTheFirst)
{
    xConst2Hash_O1O2(ppd.get(), &table, ConstraintIndex(ppd.get(), "ZLKOn1", "ZLKOn2"));
    EXPECT_EQ(Entries(table),
              (std::vector<Entry>{
                  {"ZLKOn2:Auto", 1, 0, 1}, {"ZLKOn2:Auto", 1, 0, 2}, {"ZLKOn2:On", 1, 0, 1}, {"ZLKOn2:On", 1, 0, 2}}));
}

TEST_F(ppd_services_XConstraints, OneChoiceGivenIteratesTheOtherSide)
{
    // ZLKPunch: None, TwoHole, False, ThreeHole; None and False never count.
    xConst2Hash_O1O2C2(ppd.get(), &table, ConstraintIndex(ppd.get(), "ZLKPunch", "ZLKFold"));
    EXPECT_EQ(Entries(table), (std::vector<Entry>{{"ZLKFold:Half", 1, 2, 1}, {"ZLKFold:Half", 1, 2, 3}}));

    table.clear();
    xConst2Hash_O1C1O2(ppd.get(), &table, ConstraintIndex(ppd.get(), "ZLKFold", "ZLKPunch"));
    EXPECT_EQ(Entries(table), (std::vector<Entry>{{"ZLKPunch:ThreeHole", 1, 3, 2}, {"ZLKPunch:TwoHole", 1, 3, 2}}));
}

TEST_F(ppd_services_XConstraints, KeywordsMatchWithoutCaseAndKeysUseThePpdSpelling)
{
    // "*zlkstaple OFF *zlkb three": a given choice may be the first one.
    xConst2Hash_O1C1O2C2(ppd.get(), &table, ConstraintIndex(ppd.get(), "zlkstaple", "zlkb"));
    EXPECT_EQ(Entries(table), (std::vector<Entry>{{"ZLKB:Three", 1, 4, 0}}));
    EXPECT_TRUE(IsPPDChoiceConflicted(ppd.get(), &table, "ZLKB", "Three"));  // ZLKStaple Off is the default
    EXPECT_FALSE(IsPPDChoiceConflicted(ppd.get(), &table, "zlkb", "three"));
}

TEST_F(ppd_services_XConstraints, EachFormTakesAsGivenOnlyTheChoicesItNames)
{
    // Whatever the rule spells, a form iterates the eligible choices of the
    // sides it does not take as given.
    using Form = void (*)(ppd_file_t*, XConstraintTable*, int);
    struct Case {
        const char* name;
        Form form;
        const char* option1;
        const char* option2;
        std::vector<Entry> entries;
    };
    const std::vector<Case> cases = {
        {"O1O2 on ZLKA Yes ZLKB Two",
         &xConst2Hash_O1O2,
         "ZLKA",
         "ZLKB",
         {{"ZLKB:Three", 0, 1, 1}, {"ZLKB:Two", 0, 1, 1}}},
        {"O1O2C2 on ZLKA Yes ZLKB Two", &xConst2Hash_O1O2C2, "ZLKA", "ZLKB", {{"ZLKB:Two", 0, 1, 1}}},
        {"O1C1O2 on ZLKA Yes ZLKB Two",
         &xConst2Hash_O1C1O2,
         "ZLKA",
         "ZLKB",
         {{"ZLKB:Three", 0, 1, 1}, {"ZLKB:Two", 0, 1, 1}}},
        {"O1C1O2C2 on ZLKOn1 ZLKOn2", &xConst2Hash_O1C1O2C2, "ZLKOn1", "ZLKOn2", {}},
    };
    for (const Case& c : cases) {
        table.clear();
        c.form(ppd.get(), &table, ConstraintIndex(ppd.get(), c.option1, c.option2));
        EXPECT_EQ(Entries(table), c.entries) << c.name;
    }

    // The member forms are the free ones; an index past the PPD adds nothing.
    XConstraintTable member = MakeXConstraintTable();
    CQuickXPPD xppd;
    xppd.xConst2Hash_O1O2(ppd.get(), &member, ConstraintIndex(ppd.get(), "ZLKOn1", "ZLKOn2"));
    xppd.xConst2Hash_O1C1O2C2(ppd.get(), &member, ppd->num_consts);
    table.clear();
    xConst2Hash_O1O2(ppd.get(), &table, ConstraintIndex(ppd.get(), "ZLKOn1", "ZLKOn2"));
    EXPECT_EQ(Entries(member), Entries(table));
}

TEST_F(ppd_services_XConstraints, KeywordListSelectsTheConstraints)
{
    SetXppd(ppd.get(), &table, kVendorKeywords);
    EXPECT_EQ(table.size(), 10u);
    EXPECT_EQ(table.count("ZLKOther:Yes"), 0u);

    table.clear();
    SetXppd(ppd.get(), &table, {"PageSize"});
    EXPECT_EQ(Entries(table), (std::vector<Entry>{{"ZLKOther:Yes", 0, 0, 1}}));
}

TEST_F(ppd_services_XConstraints, ChoiceListsCarryConflictFlags)
{
    SetXppd(ppd.get(), &table, {"ZLKA"});
    ppdMarkOption(ppd.get(), "ZLKA", "Yes");
    std::vector<UIListEntry> list;
    int count = 5;
    GetUIListFromPPD(ppd.get(), &table, "ZLKB", &list, count);
    EXPECT_EQ(count, 8);
    EXPECT_EQ(list, (std::vector<UIListEntry>{{"ZLKB", "One", "One", "ConflictFalse"},
                                              {"ZLKB", "Two", "Two", "ConflictTrue"},
                                              {"ZLKB", "Three", "Three", "ConflictFalse"}}));

    GetUIListFromPPD(ppd.get(), &table, "ZLKNoSuch", &list, count);
    GetUIListFromPPD(ppd.get(), &table, "ZLKB", nullptr, count);
    InitializeValueFromPPD(ppd.get(), &table, &list, "ZLKNoSuch");
    EXPECT_EQ(count, 8);
    EXPECT_EQ(list.size(), 3u);
    InitializeValueFromPPD(ppd.get(), &table, &list, "ZLKA");
    EXPECT_EQ(list.size(), 5u);
}

TEST(ppd_services_ChoiceList, TextsArriveInUtf8)
{
    common::PPDHandle ppd = OpenPpdFixture(PpdFixturePath("services.ppd"));
    std::vector<UIListEntry> list;
    InitializeValueFromPPD(ppd.get(), nullptr, &list, "ZLKB");
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[2], (UIListEntry{"ZLKB", "Three", "Caf\xC3\xA9 Three", "ConflictFalse"}));
}

TEST(ppd_services_DefinitionFile, ReaderTakesOneLineOfOneSection)
{
    XConstraintTable table = MakeXConstraintTable();
    std::istringstream file(
        "ImageOptionPDETiger\nZLKA:Yes@1@1@1@\nPrintFeaturePDETiger\nZLKB:Two@3@1@2@\n"
        "ZLKB:One@1@1@1@\n");
    CQuickXPPD reader(&table, kSectionPrintFeatureTiger);
    file >> reader;
    EXPECT_EQ(Entries(table), (std::vector<Entry>{{"ZLKB:Two", 3, 1, 2}}));

    table.clear();
    std::istringstream odd("PrintFeaturePDETiger\n@1@2@3@K1@x@2@@K2@5@6@7@K3@9\n");
    odd >> reader;
    EXPECT_EQ(Entries(table), (std::vector<Entry>{{"K1", 0, 2, 0}, {"K2", 5, 6, 7}, {"K3", 0, 0, 0}}));

    table.clear();
    std::istringstream other("PrintFeaturePDEPanther\nZLKB:Two@3@1@2@\n");
    other >> reader;
    EXPECT_TRUE(table.empty());
}

TEST(ppd_services_DefinitionFile, WriterOutputReadsBackAsTheSameTables)
{
    common::PPDHandle ppd = OpenPpdFixture(PpdFixturePath("constraints.ppd"));
    XConstraintTable table = MakeXConstraintTable();
    CQuickXPPD writer(ppd.get(), &table,
                      {{kSectionPrintFeatureTiger, kVendorKeywords}, {kSectionImageOptionTiger, {"PageSize"}}},
                      PpdFixturePath("constraints.ppd"));
    std::ostringstream out;
    out << writer;
    EXPECT_TRUE(table.empty());

    const std::string text = out.str();
    EXPECT_TRUE(text.starts_with("PrintFeaturePDETiger\n"));
    EXPECT_NE(text.find("\nImageOptionPDETiger\nZLKOther:Yes@0@0@1@\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\n*% Last Edit Date: 2024-06-02 rev 3"));

    for (const auto& [section, keywords] :
         {std::pair{kSectionPrintFeatureTiger, kVendorKeywords},
          std::pair{kSectionImageOptionTiger, std::vector<std::string>{"PageSize"}}}) {
        XConstraintTable built = MakeXConstraintTable(), read = MakeXConstraintTable();
        SetXppd(ppd.get(), &built, keywords);
        std::istringstream in(text);
        CQuickXPPD reader(&read, section);
        in >> reader;
        EXPECT_EQ(Entries(read), Entries(built)) << section;
    }
}

TEST(ppd_services_DefinitionFile, NoStampLineWithoutLastEditDate)
{
    common::PPDHandle ppd = OpenPpdFixture(PpdFixturePath("encoding-none.ppd"));
    XConstraintTable table = MakeXConstraintTable();
    CQuickXPPD writer(ppd.get(), &table, {{kSectionPrintFeatureTiger, {"ZLKC"}}, {"", {"ignored"}}},
                      PpdFixturePath("encoding-none.ppd"));
    std::ostringstream out;
    out << writer;
    EXPECT_EQ(out.str(), "PrintFeaturePDETiger\n\n");
}

class ppd_services_GetXPPD : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A name of its own: tests run in parallel, also from other builds.
        const std::filesystem::path dir = ::testing::TempDir();
        path = dir / ("zlk-xcdf-test-" + std::to_string(getpid()) + ".ppd");
        std::ifstream in(PpdFixturePath("xcdf.ppd.in"));
        std::stringstream text;
        text << in.rdbuf();
        std::string ppdText = text.str();
        const std::string fixtures = PpdFixturePath("");
        for (std::size_t at; (at = ppdText.find("@DIR@/")) != std::string::npos;) {
            ppdText.replace(at, 6, fixtures);
        }
        std::ofstream(path) << ppdText;
        ppd = OpenPpdFixture(path);
    }
    void TearDown() override { std::filesystem::remove(path); }

    std::string path;
    common::PPDHandle ppd;
    XConstraintTable table = MakeXConstraintTable();
};

TEST_F(ppd_services_GetXPPD, ReadsTheSectionOfTheNamedFile)
{
    ASSERT_EQ(GetXPPD(ppd.get(), &table, "PrintFeaturePDE", "ZLKXCDFSetting"), 0);
    EXPECT_EQ(Entries(table),
              (std::vector<Entry>{{"ZLKB:One", 7, 0, 0}, {"ZLKB:Three", 1, 0, 1}, {"ZLKB:Two", 0, 1, 1}}));

    EXPECT_FALSE(IsPPDChoiceConflicted(ppd.get(), &table, "ZLKB", "Three"));
    ppdMarkOption(ppd.get(), "ZLKOn1", "On");
    EXPECT_TRUE(IsPPDChoiceConflicted(ppd.get(), &table, "ZLKB", "Three"));
    // A reference past the PPD's groups never conflicts.
    EXPECT_FALSE(IsPPDChoiceConflicted(ppd.get(), &table, "ZLKB", "One"));
}

TEST_F(ppd_services_GetXPPD, MissingFileOrAttributeLeavesEveryChoiceEnabled)
{
    EXPECT_EQ(GetXPPD(ppd.get(), &table, "PrintFeaturePDE", "ZLKXCDFMissing"), 1);
    EXPECT_EQ(GetXPPD(ppd.get(), &table, "PrintFeaturePDE", "ZLKNoSuchSetting"), 1);
    EXPECT_TRUE(table.empty());
    ppdMarkOption(ppd.get(), "ZLKA", "Yes");
    ppdMarkOption(ppd.get(), "ZLKOn1", "On");
    std::vector<UIListEntry> list;
    InitializeValueFromPPD(ppd.get(), &table, &list, "ZLKB");
    ASSERT_EQ(list.size(), 3u);
    for (const UIListEntry& entry : list) {
        EXPECT_EQ(entry[3], "ConflictFalse") << entry[1];
    }
}

}  // namespace
}  // namespace zlk::ppd
