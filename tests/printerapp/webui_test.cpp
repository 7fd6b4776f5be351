// The printer application's additions to PAPPL's web interface as PAPPL
// takes them: vendor attribute texts looked up in a real system's
// localizations, the test page as poppler reads it.

#include "printerapp/webui.h"

#include <gtest/gtest.h>
#include <pappl/pappl.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "testpdf.h"

namespace zlk::test {
namespace {

using zlk::printerapp::Model;
using zlk::printerapp::VendorOption;

VendorOption Option(const std::string& attribute, const std::string& title,
                    std::map<std::string, std::string> titleOf = {})
{
    VendorOption option;
    option.attribute = attribute;
    option.title = title;
    option.titleOf = std::move(titleOf);
    return option;
}

Model MakeModel(const std::string& driverName, const std::string& language, std::vector<VendorOption> vendor)
{
    Model model;
    model.driverName = driverName;
    model.language = language;
    model.vendor = std::move(vendor);
    return model;
}

struct LookupCase {
    const char* language;  // as the browser asks for it
    const char* key;
    const char* text;
};

// Texts by language as a browser gets them: its own language's PPD titles,
// the first model's where they differ, the other language's where its own
// PPDs lack one, and PAPPL's own texts untouched.
TEST(WebUi, VendorTextsPerBrowserLanguage)
{
    const std::vector<Model> models = {
        MakeModel("zelko_b", "en",
                  {Option("zlk-staple", "Staple", {{"upper-left", "Top Left"}}), Option("zlk-punch", "Punch")}),
        MakeModel(
            "zelko_j", "ja",
            {Option("zlk-staple", "ステープル", {{"upper-left", "左上1か所"}}), Option("zlk-turn-page", "180度回転")}),
        MakeModel("zelko_a", "en",
                  {Option("zlk-staple", "Stapler (A)"), Option("zlk-note", "Say \"hi\" \\ twice\n\ttabbed")}),
    };

    TempDir dir;
    pappl_system_t* system = papplSystemCreate(PAPPL_SOPTIONS_NONE, "webui-test", 0, nullptr, dir.path().c_str(),
                                               dir.file("log").c_str(), PAPPL_LOGLEVEL_ERROR, nullptr, false);
    ASSERT_NE(system, nullptr);
    zlk::printerapp::AddVendorStrings(system, models);

    const LookupCase cases[] = {
        {"en", "zlk-staple", "Stapler (A)"},  // zelko_a comes first
        {"ja", "zlk-staple", "ステープル"},
        {"en", "zlk-staple.upper-left", "Top Left"},
        {"ja", "zlk-staple.upper-left", "左上1か所"},
        {"ja", "zlk-punch", "Punch"},
        {"en", "zlk-turn-page", "180度回転"},
        {"en", "zlk-note", "Say \"hi\" \\ twice\n\ttabbed"},
        {"ja", "zlk-note", "Say \"hi\" \\ twice\n\ttabbed"},
        {"de", "zlk-staple", "Stapler (A)"},
    };
    for (const LookupCase& c : cases) {
        SCOPED_TRACE(std::string(c.language) + " " + c.key);
        pappl_loc_t* loc = papplSystemFindLoc(system, c.language);
        ASSERT_NE(loc, nullptr);
        EXPECT_STREQ(papplLocGetString(loc, c.key), c.text);
    }
    // PAPPL's own Japanese pages stay Japanese.
    EXPECT_STRNE(papplLocGetString(papplSystemFindLoc(system, "ja"), "Add Printer"), "Add Printer");
    papplSystemDelete(system);
}

struct StampCase {
    const char* line;
    const char* shown;  // what poppler reads back
};

// The printer's name and model on the page, in what the page's standard
// font can show.
TEST(WebUi, TestPageNamesThePrinter)
{
    const StampCase cases[] = {
        {"Printer: office", "Printer: office"},
        {"Printer: Büro (2nd) \\ floor", "Printer: Büro (2nd) \\ floor"},
        {"Printer: 事務所 A", "Printer: ??? A"},
    };
    TempDir dir;
    for (const StampCase& c : cases) {
        SCOPED_TRACE(c.line);
        std::string why;
        const std::string pdf =
            zlk::printerapp::StampTestPage(ZLK_TESTPAGE_TEMPLATE, {c.line, "Model: Zelko MFP C4500"}, why);
        ASSERT_FALSE(pdf.empty()) << why;
        WriteFile(dir.file("page.pdf"), pdf);
        const std::vector<std::string> texts = PdfPageTexts(dir.file("page.pdf"));
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_NE(texts[0].find(c.shown), std::string::npos) << texts[0];
        EXPECT_NE(texts[0].find("Model: Zelko MFP C4500"), std::string::npos) << texts[0];
        EXPECT_NE(texts[0].find("Zelko printer test page"), std::string::npos) << texts[0];
    }

    std::string why;
    EXPECT_EQ(zlk::printerapp::StampTestPage(dir.file("missing.pdf"), {"Printer: office"}, why), "");
    EXPECT_NE(why, "");
}

}  // namespace
}  // namespace zlk::test
