// The sample PPDs of data/ppd: each opens with libcups, marks its defaults
// without conflicts, passes cupstestppd, carries the entries the filter and
// the dialogs read, and offers only choices that the filter turns into the
// job ticket.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <memory>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <cups/ppd.h>

#include "capture.h"
#include "common/ppdfile.h"
#include "common/utf8.h"
#include "filter/options.h"
#include "filter/pdfdoc.h"
#include "filter/ticket.h"
#include "ppd/quickxppd.h"
#include "process.h"
#include "testpdf.h"

using namespace zlk::filter;

namespace {

const std::string kPpdDir = ZLK_PPD_DIR;
// Where the package installs constraint definition files; the PPDs name them there.
const std::string kDefinitionDir = "/usr/share/zelko/cdf/";

// A constraint definition file beside the PPDs, and one entry of its features
// section that the PPD's UIConstraints do not give: the choice conflicts
// while the marked choice is marked.
struct DefinitionFile {
    const char* file;
    const char* option;
    const char* choice;
    const char* markedOption;
    const char* markedChoice;
};
const DefinitionFile kQ6000Definition = {"zelko-mfp-q6000.cdf", "ZLKStaple", "UpperLeftSinglePort", "MediaType",
                                         "ThickPaper"};

struct Sample {
    const char* file;
    const char* featuresMode;  // ZLKXFeaturesSettings
    const char* printerEncoding;  // ZLKPrinterLanguageEncoding; "" when the PPD has none
    const char* languageEncoding;  // LanguageEncoding as written in the file
    const char* emitPageSize;  // default of ZLKEmitPageSizeCommand
    bool selectId;  // has the ZLKSelectID option
    bool mailbox;  // has ZLKXMailBoxSettings
    bool quorvel;  // ZLKDeviceModel "Quorvel"
    const char* probeOption;  // an option whose title must reach the dialog as UTF-8 ...
    const char* probeTitle;  // ... reading exactly this
    const char* trueFirstSwitch;  // a Boolean the features panel shows, listed "True" first; "" for none
    const DefinitionFile* definition;  // nullptr when the sample names none
};

const Sample kSamples[] = {
    {"zelko-mfp-c4500.ppd", "Default00", "UTF-8", "ISOLatin1", "True", true, true, false, "ZLKSigSize",
     "Booklet Paper Size", "", nullptr},
    // "ソ" ends in the byte 0x5C in Shift-JIS: it must not read as a backslash.
    {"zelko-mfp-c3500j.ppd", "Default01", "CP932", "JIS83-RKSJ", "True", true, true, false, "Collate",
     "ソート（部単位で印刷）", "", nullptr},
    {"zelko-mfp-m2500.ppd", "Default02", "", "ISOLatin1", "False", false, false, false, "ZLKColorMode", "Color Mode",
     "Smoothing", nullptr},
    {"zelko-mfp-q6000.ppd", "Default03", "UTF-8", "UTF-8", "True", false, false, true, "ZLKTurnPage", "Rotate by 180°",
     "", &kQ6000Definition},
};

std::string PathOf(const Sample& sample) { return kPpdDir + "/" + sample.file; }

// Names the sample in test listings.
void PrintTo(const Sample& sample, std::ostream* out) { *out << sample.file; }

std::vector<std::string> ChoicesOf(ppd_file_t* ppd, const char* keyword)
{
    std::vector<std::string> choices;
    if (ppd_option_t* option = ppdFindOption(ppd, keyword))
        for (int i = 0; i < option->num_choices; ++i)
            choices.push_back(option->choices[i].choice);
    return choices;
}

std::set<std::string> SetOf(const std::vector<std::string>& list) { return {list.begin(), list.end()}; }

// The filter and the dialogs look attributes up by name prefix, first in file
// order; a sample must never let another attribute answer for one of them.
ppd_attr_t* FirstAttrWithPrefix(ppd_file_t* ppd, const char* prefix)
{
    for (int i = 0; i < ppd->num_attrs; ++i)
        if (std::strncmp(ppd->attrs[i]->name, prefix, std::strlen(prefix)) == 0)
            return ppd->attrs[i];
    return nullptr;
}

std::string AttrValue(ppd_file_t* ppd, const char* name)
{
    ppd_attr_t* attr = FirstAttrWithPrefix(ppd, name);
    if (!attr)
        return {};
    EXPECT_STREQ(attr->name, name) << "another attribute answers for " << name;
    return attr->value ? attr->value : "";
}

// Splits a "product-help" value at its first "-".
std::pair<std::string, std::string> SplitProduct(const std::string& value)
{
    const auto dash = value.find('-');
    if (dash == std::string::npos)
        return {value, ""};
    return {value.substr(0, dash), value.substr(dash + 1)};
}

// The filter's option record for one job option string on a sample printer.
struct Job {
    std::unique_ptr<printoptions> record = std::make_unique<printoptions>();
    DocumentNames names{};

    Job(const Sample& sample, const std::string& options)
    {
        const std::string path = PathOf(sample);
        const char* argv[] = {"ZLKPrintFilter", "1", "alice", "Report", "1", options.c_str(), nullptr};
        GetPrintOptions(argv, path.c_str(), *record, names);
    }

    std::string Ticket(void (*part)(const printoptions&)) const
    {
        return zlk::test::CaptureStdout([&] { part(*record); });
    }
};

std::string OptionPair(const char* keyword, const std::string& choice) { return std::string(keyword) + "=" + choice; }

class SamplePpd : public ::testing::TestWithParam<Sample> {
protected:
    void SetUp() override
    {
        ppd_.reset(ppdOpenFile(PathOf(GetParam()).c_str()));
        ASSERT_NE(ppd_, nullptr) << PathOf(GetParam());
    }

    ppd_file_t* ppd() const { return ppd_.get(); }
    bool Has(const char* keyword) const { return ppdFindOption(ppd(), keyword) != nullptr; }

private:
    zlk::common::PPDHandle ppd_;
};

}  // namespace

TEST(ppdSampleSet, HoldsOneSamplePerFeaturesModeWithBothPrinterEncodings)
{
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(kPpdDir))
        if (entry.path().extension() == ".ppd")
            files.insert(entry.path().filename().string());
    std::set<std::string> expected, modes, definitions;
    bool utf8 = false, cp932 = false, trueFirst = false;
    for (const Sample& sample : kSamples) {
        expected.insert(sample.file);
        modes.insert(sample.featuresMode);
        utf8 = utf8 || std::strcmp(sample.printerEncoding, "UTF-8") == 0;
        cp932 = cp932 || std::strcmp(sample.printerEncoding, "CP932") == 0;
        trueFirst = trueFirst || *sample.trueFirstSwitch != '\0';
        if (sample.definition)
            definitions.insert(sample.definition->file);
    }
    EXPECT_EQ(files, expected);
    EXPECT_EQ(modes, (std::set<std::string>{"Default00", "Default01", "Default02", "Default03"}));
    EXPECT_TRUE(utf8);
    EXPECT_TRUE(cp932);
    EXPECT_TRUE(trueFirst);

    // Every definition file beside the samples belongs to one of them.
    std::set<std::string> definitionFiles;
    for (const auto& entry : std::filesystem::directory_iterator(kPpdDir))
        if (entry.path().extension() == ".cdf")
            definitionFiles.insert(entry.path().filename().string());
    EXPECT_FALSE(definitionFiles.empty());
    EXPECT_EQ(definitionFiles, definitions);
}

TEST_P(SamplePpd, MarksItsDefaultsWithoutConflict)
{
    ppdMarkDefaults(ppd());
    EXPECT_EQ(ppdConflicts(ppd()), 0);
}

TEST_P(SamplePpd, HandsPdfToTheDriverFilterAndLeavesCopiesToThePrinter)
{
    // The filter takes the first attribute whose name begins with cupsFilter.
    ppd_attr_t* filter = FirstAttrWithPrefix(ppd(), "cupsFilter");
    ASSERT_NE(filter, nullptr);
    EXPECT_STREQ(filter->name, "cupsFilter");
    EXPECT_STREQ(filter->value, "application/pdf 0 ZLKPrintFilter");
    EXPECT_EQ(std::filesystem::path(ZLK_FILTER_BINARY).filename().string(), "ZLKPrintFilter");
    // The second takes a job stream the driver already made on a desktop.
    ASSERT_EQ(ppd()->num_filters, 2);
    EXPECT_STREQ(ppd()->filters[1], "application/vnd.zelko-job 0 ZLKPrintFilter");

    EXPECT_EQ(AttrValue(ppd(), "cupsManualCopies"), "False");
    EXPECT_EQ(ppd()->manual_copies, 0);
    EXPECT_FALSE(AttrValue(ppd(), "cupsVersion").empty());

    // Without a Collate option pdftopdf would lay out the copies itself.
    ppd_option_t* collate = ppdFindOption(ppd(), "Collate");
    ASSERT_NE(collate, nullptr);
    EXPECT_EQ(collate->ui, PPD_UI_BOOLEAN);
    EXPECT_EQ(SetOf(ChoicesOf(ppd(), "Collate")), (std::set<std::string>{"True", "False"}));
}

TEST_P(SamplePpd, CarriesTheVendorAttributesInTheirValueForms)
{
    const Sample& sample = GetParam();
    EXPECT_EQ(AttrValue(ppd(), "LanguageEncoding"), sample.languageEncoding);
    EXPECT_EQ(AttrValue(ppd(), "ZLKXFeaturesSettings"), sample.featuresMode);

    const auto [layoutMode, layoutSuffix] = SplitProduct(AttrValue(ppd(), "ZLKXLayoutSettings"));
    EXPECT_TRUE(layoutMode.size() == 9 && layoutMode.rfind("Default0", 0) == 0) << layoutMode;
    EXPECT_FALSE(layoutSuffix.empty());

    const std::set<std::string> printTypeProducts = {"Default00", "Default01", "Default02", "Default03", "Quorvel00"};
    const std::set<std::string> accountingProducts = {"Default00", "Default01", "Default02", "Quorvel00",
                                                      "Printer00", "Default03", "Default04"};
    for (const char* name : {"ZLKXPrintTypeSettings", "ZLKXAccountingSettings"}) {
        const auto [product, help] = SplitProduct(AttrValue(ppd(), name));
        const auto& known = std::strcmp(name, "ZLKXPrintTypeSettings") == 0 ? printTypeProducts : accountingProducts;
        EXPECT_TRUE(known.count(product)) << name << " product " << product;
        EXPECT_FALSE(help.empty()) << name;
        EXPECT_EQ(product == "Quorvel00", sample.quorvel) << name;
    }

    EXPECT_EQ(AttrValue(ppd(), "ZLKPrinterLanguageEncoding"), sample.printerEncoding);
    EXPECT_EQ(AttrValue(ppd(), "ZLKDeviceModel") == "Quorvel", sample.quorvel);

    const std::string mailbox = AttrValue(ppd(), "ZLKXMailBoxSettings");
    EXPECT_EQ(!mailbox.empty(), sample.mailbox);
    if (!mailbox.empty()) {
        ASSERT_GE(mailbox.size(), 3u);
        EXPECT_TRUE(std::all_of(mailbox.begin(), mailbox.begin() + 3, ::isdigit)) << mailbox;
        EXPECT_GT(std::stoi(mailbox.substr(0, 3)), 0);
    }

    const std::string tableIndex = AttrValue(ppd(), "ZLKLocalizableFileIndex");
    EXPECT_TRUE(std::all_of(tableIndex.begin(), tableIndex.end(), ::isalnum)) << tableIndex;

    // The passcode minimum is the number in the default choice, PW4 style.
    const char* passcodeKey = sample.quorvel ? "ZLKPTPasswdLimit" : "ZLKMinDigitPasscode";
    if (ppd_option_t* passcode = ppdFindOption(ppd(), passcodeKey)) {
        for (const std::string& choice : ChoicesOf(ppd(), passcodeKey)) {
            EXPECT_EQ(choice.rfind("PW", 0), 0u) << choice;
            EXPECT_TRUE(choice.size() > 2 && std::all_of(choice.begin() + 2, choice.end(), ::isdigit)) << choice;
            EXPECT_LE(std::stoi(choice.substr(2)), 12) << "longer than the passcode field";
        }
        EXPECT_NE(ppdFindChoice(passcode, passcode->defchoice), nullptr);
    }

    EXPECT_EQ(Has("ZLKSelectID"), sample.selectId);
    if (ppd_option_t* select = ppdFindOption(ppd(), "ZLKSelectID")) {
        EXPECT_EQ(ChoicesOf(ppd(), "ZLKSelectID"),
                  (std::vector<std::string>{"UserID_AccountID", "UserID", "AccountID", "None"}));
        EXPECT_NE(ppdFindChoice(select, select->defchoice), nullptr);
    }

    // Ties an extended constraint file to the PPD it was made from.
    const std::string text = zlk::test::ReadFile(PathOf(sample));
    EXPECT_NE(text.find("\n*% Last Edit Date: "), std::string::npos);
}

TEST_P(SamplePpd, TellsTheFilterItsPrinterLanguageAndPageSizeCommand)
{
    const Sample& sample = GetParam();
    ppd_option_t* emit = ppdFindOption(ppd(), "ZLKEmitPageSizeCommand");
    ASSERT_NE(emit, nullptr);
    EXPECT_EQ(SetOf(ChoicesOf(ppd(), "ZLKEmitPageSizeCommand")), (std::set<std::string>{"True", "False"}));

    Job job(sample, "");
    EXPECT_STREQ(job.record->ppd.printerLanguageEncoding, sample.printerEncoding);
    EXPECT_STREQ(job.record->ppd.emitPageSizeCommandDefault, sample.emitPageSize);
    EXPECT_EQ(IsUTF8Printer(*job.record), std::strcmp(sample.printerEncoding, "UTF-8") == 0);

    // The page size reaches the ticket only when the PPD says so.
    Job a4(sample, "media=A4");
    EXPECT_EQ(a4.Ticket(JTMedia).find("<MediaSizeName>a4</MediaSizeName>") != std::string::npos,
              std::strcmp(sample.emitPageSize, "True") == 0);
}

TEST_P(SamplePpd, TextsReachTheDialogAsUtf8)
{
    const Sample& sample = GetParam();
    ppd_option_t* probe = ppdFindOption(ppd(), sample.probeOption);
    ASSERT_NE(probe, nullptr);
    EXPECT_STREQ(probe->text, sample.probeTitle);

    for (int g = 0; g < ppd()->num_groups; ++g) {
        const ppd_group_t& group = ppd()->groups[g];
        EXPECT_TRUE(zlk::common::IsValidUtf8(group.text)) << group.name;
        for (int o = 0; o < group.num_options; ++o) {
            const ppd_option_t& option = group.options[o];
            EXPECT_TRUE(zlk::common::IsValidUtf8(option.text)) << option.keyword;
            for (int c = 0; c < option.num_choices; ++c)
                EXPECT_TRUE(zlk::common::IsValidUtf8(option.choices[c].text))
                    << option.keyword << " " << option.choices[c].choice;
        }
    }
    // The features panel gathers these two groups by their display text.
    for (int g = 0; g < ppd()->num_groups; ++g) {
        const ppd_group_t& group = ppd()->groups[g];
        if (!std::strcmp(group.name, "General") || !std::strcmp(group.name, "Extra")) {
            EXPECT_STREQ(group.text, group.name);
        }
    }
}

TEST_P(SamplePpd, PageSizesAgreeWithRegionsPaperDimensionsAndTheTicket)
{
    const Sample& sample = GetParam();
    const auto sizes = ChoicesOf(ppd(), "PageSize");
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(ChoicesOf(ppd(), "PageRegion"), sizes);
    for (const std::string& name : sizes) {
        if (name == "Custom")  // libcups adds it for the custom page size
            continue;
        ppd_size_t* size = ppdPageSize(ppd(), name.c_str());
        ASSERT_NE(size, nullptr) << name;
        ASSERT_GT(size->width, 0) << name;
        ASSERT_GT(size->length, 0) << name;
        // The trimmer reads a paper's sides as left + right and bottom + top
        // of the imageable area, so margins must be symmetric.
        EXPECT_NEAR(size->left + size->right, size->width, 0.01) << name;
        EXPECT_NEAR(size->bottom + size->top, size->length, 0.01) << name;
        EXPECT_LT(size->left, size->right) << name;
        EXPECT_LT(size->bottom, size->top) << name;

        Job job(sample, "media=" + name);
        std::strcpy(job.record->ppd.emitPageSizeCommandDefault, "True");
        EXPECT_NE(job.Ticket(JTMedia).find("<MediaSizeName>"), std::string::npos) << name << " has no ticket name";
    }

    EXPECT_TRUE(ppd()->variable_sizes);
    EXPECT_LT(ppd()->custom_min[0], ppd()->custom_max[0]);
    EXPECT_LT(ppd()->custom_min[1], ppd()->custom_max[1]);
    ppd_size_t* custom = ppdPageSize(ppd(), "Custom.400x600");
    ASSERT_NE(custom, nullptr);
    EXPECT_FLOAT_EQ(custom->width, 400);
    EXPECT_FLOAT_EQ(custom->length, 600);
    Job job(sample, "media=Custom.400x600");
    std::strcpy(job.record->ppd.emitPageSizeCommandDefault, "True");
    EXPECT_NE(job.Ticket(JTMedia).find("<XDimension>14111</XDimension>"), std::string::npos);
}

TEST_P(SamplePpd, PaperSourcesAndTypesAreThoseTheTicketNames)
{
    const Sample& sample = GetParam();
    const std::set<std::string> trays = {"1stTray", "2ndTray", "3rdTray", "4thTray", "BypassTray", "Auto"};
    EXPECT_EQ(SetOf(ChoicesOf(ppd(), "InputSlot")), trays);
    for (const std::string& slot : ChoicesOf(ppd(), "InputSlot"))
        EXPECT_NE(Job(sample, "InputSlot=" + slot).Ticket(JTOutPutMediaLocation).find("<MediaLocation>"),
                  std::string::npos)
            << slot;

    // Tab and coated paper are for the dialog's media-type-tab rule; the
    // printer takes them from the tray settings, so the ticket names neither.
    const std::set<std::string> dialogOnly = {"Default", "TabbedPaper", "CoatingPaper"};
    for (const char* keyword : {"MediaType", "ZLKIntSheetMediaType"}) {
        if (!Has(keyword))
            continue;
        const auto types = SetOf(ChoicesOf(ppd(), keyword));
        for (const char* required : {"Default", "Stationary", "StationaryBack", "RecyclePaper", "ThickPaper"})
            EXPECT_TRUE(types.count(required)) << keyword << " lacks " << required;
        if (std::strcmp(keyword, "MediaType") != 0)
            continue;
        for (const std::string& type : types) {
            const std::string ticket = Job(sample, "MediaType=" + type).Ticket(JTOutPutMediaType);
            EXPECT_EQ(ticket.empty(), dialogOnly.count(type) == 1) << type;
        }
    }

    std::set<int> duplexing;
    for (const std::string& duplex : ChoicesOf(ppd(), "Duplex"))
        duplexing.insert(Job(sample, "Duplex=" + duplex).record->features.duplexing);
    EXPECT_EQ(duplexing, (std::set<int>{1, 2, 3}));

    // Any colour mode but "Black" prints in colour.
    const auto colors = SetOf(ChoicesOf(ppd(), "ZLKColorMode"));
    const std::set<std::string> expectedColors =
        ppd()->color_device ? std::set<std::string>{"Black", "Color"} : std::set<std::string>{"Black"};
    EXPECT_EQ(colors, expectedColors);
    for (const std::string& color : colors)
        EXPECT_EQ(Job(sample, "ZLKColorMode=" + color).Ticket(JTOutPutColorMode).find("MonochromeGrayscale") !=
                      std::string::npos,
                  color == "Black");

    // The modes that claim the print mode option must offer it, and only the
    // three qualities the ticket knows.
    const std::string mode = sample.featuresMode;
    EXPECT_EQ(Has("ZLKOutputMode"), mode == "Default01" || mode == "Default03");
    if (Has("ZLKOutputMode")) {
        EXPECT_EQ(SetOf(ChoicesOf(ppd(), "ZLKOutputMode")),
                  (std::set<std::string>{"Standard", "HighSpeed", "HighQuality"}));
    }
}

TEST_P(SamplePpd, EveryFinishingChoiceReachesTheTicket)
{
    const Sample& sample = GetParam();
    auto finishing = [&](const std::string& options) { return Job(sample, options).Ticket(JTOutPutFinishing); };

    const auto staples = ChoicesOf(ppd(), "ZLKStaple");
    ASSERT_FALSE(staples.empty());
    EXPECT_EQ(staples.front(), "None");
    for (const std::string& staple : staples)
        EXPECT_EQ(finishing(OptionPair("ZLKStaple", staple)).find("<Finishing>Staple") != std::string::npos,
                  staple != "None")
            << staple;

    for (const std::string& edge : ChoicesOf(ppd(), "ZLKPunch")) {
        for (const std::string& holes : ChoicesOf(ppd(), "ZLKNumPunchHoles")) {
            const std::string ticket = finishing("ZLKPunch=" + edge + " ZLKNumPunchHoles=" + holes);
            if (edge == "None") {
                EXPECT_TRUE(ticket.empty()) << holes;
                continue;
            }
            // A hole count the ticket does not know would quietly become two holes.
            const std::string count = std::isdigit(static_cast<unsigned char>(holes[0])) ? holes.substr(0, 1) : "2";
            EXPECT_NE(ticket.find("<Finishing>Punch" + count + "Hole" + edge + "</Finishing>"), std::string::npos)
                << edge << " " << holes;
        }
    }

    for (const char* cover : {"ZLKIntCoverSheet", "ZLKIntBackCoverSheet"}) {
        const auto choices = ChoicesOf(ppd(), cover);
        ASSERT_FALSE(choices.empty()) << cover;
        EXPECT_EQ(choices.front(), "None");
        EXPECT_TRUE(SetOf(choices).count("MSI")) << cover;
        for (const std::string& tray : choices) {
            const std::string ticket = Job(sample, OptionPair(cover, tray)).Ticket(JTOutPutCoverFrontAndCoverBack);
            EXPECT_EQ(ticket.find("\t\t\t\t\t\t<MediaLocation>") != std::string::npos, tray != "None") << tray;
        }
    }
    if (Has("ZLKIntSheet")) {
        const auto separators = ChoicesOf(ppd(), "ZLKIntSheet");
        EXPECT_EQ(separators.front(), "None");
        EXPECT_TRUE(SetOf(separators).count("MSI"));
    }

    for (const std::string& jog : ChoicesOf(ppd(), "Jog"))
        EXPECT_EQ(Job(sample, "Jog=" + jog).Ticket(JTOutPutJobProcessing).find("<JobOffset>") != std::string::npos,
                  jog != "None")
            << jog;
    if (Has("ZLKJog")) {
        EXPECT_GE(ChoicesOf(ppd(), "ZLKJog").size(), 5u) << "the 4th and 5th choices open the offset windows";
    }
}

TEST_P(SamplePpd, BookletChoicesReachTheTicket)
{
    const Sample& sample = GetParam();
    const std::string mode = sample.featuresMode;
    const bool booklet = mode == "Default00" || mode == "Default01";
    for (const char* keyword : {"ZLKSignature", "ZLKSigDrawOutline", "ZLKSigSize", "ZLKSigVol"})
        EXPECT_EQ(Has(keyword), booklet) << keyword;
    if (!booklet)
        return;

    EXPECT_EQ(ChoicesOf(ppd(), "ZLKSignature"),
              (std::vector<std::string>{"None", "LeftSig", "RightSig", "LeftSigCenterStaple", "RightSigCenterStaple",
                                        "LeftSigFold", "RightSigFold"}));
    for (const std::string& signature : ChoicesOf(ppd(), "ZLKSignature")) {
        Job job(sample, "ZLKSignature=" + signature);
        EXPECT_EQ(job.Ticket(JTOutPutSides).find("BookletSignature") != std::string::npos, signature != "None");
        EXPECT_EQ(job.Ticket(JTOutPutFinishing).find("<Finishing>Bind") != std::string::npos, signature != "None");
    }

    for (const std::string& volume : ChoicesOf(ppd(), "ZLKSigVol")) {
        std::size_t digits = 0;
        while (digits < volume.size() && std::isdigit(static_cast<unsigned char>(volume[digits])))
            ++digits;
        const std::string unit = volume.substr(digits);
        EXPECT_TRUE(volume == "None" || (digits > 0 && (unit == "Sheet" || unit == "Sheets"))) << volume;
        const std::string expected = volume == "None" ? "0" : volume.substr(0, digits);
        EXPECT_NE(Job(sample, "ZLKSignature=LeftSig ZLKSigVol=" + volume)
                      .Ticket(JTOutPutSides)
                      .find("<SheetsPerSubset>" + expected + "</SheetsPerSubset>"),
                  std::string::npos)
            << volume;
    }

    // The trimmer reads these sheet sizes as PPD page sizes ("LT" and "DL"
    // stand for Letter and Tabloid).
    for (const std::string& sheet : ChoicesOf(ppd(), "ZLKSigSize")) {
        if (sheet == "None" || sheet.rfind("SigTray", 0) == 0)
            continue;
        const std::string size = sheet == "LT" ? "Letter" : sheet == "DL" ? "Tabloid" : sheet;
        EXPECT_NE(ppdPageSize(ppd(), size.c_str()), nullptr) << sheet;
    }
}

TEST_P(SamplePpd, PageTurnsAndImagePrintingFollowTheirChoices)
{
    auto count = [&](const char* keyword, int (*check)(int, cups_option_t*, PDFDocInfo&)) {
        int on = 0;
        for (const std::string& choice : ChoicesOf(ppd(), keyword)) {
            JobOptions options(OptionPair(keyword, choice).c_str());
            PDFDocInfo info;
            pdfDocInfo_init("", info);
            on += check(options.count(), options.options(), info);
        }
        return on;
    };
    // Exactly one choice of each switch must be the one the filter acts on.
    if (Has("ZLKTurnPage")) {
        EXPECT_EQ(count("ZLKTurnPage", checkTurnPage), 1);
    }
    if (Has("ZLKPDFRasterizedMode")) {
        EXPECT_EQ(count("ZLKPDFRasterizedMode", checkRasterMode), 1);
    }

    if (!Has("ZLKMSILeadingEdge"))
        return;
    // The feed direction turns pages only through the finishing copy of the
    // paper source.
    const auto slots = SetOf(ChoicesOf(ppd(), "ZLKInputSlot"));
    ASSERT_TRUE(slots.count("BypassTray")) << "ZLKMSILeadingEdge without a ZLKInputSlot bypass tray";
    int turned = 0;
    for (const std::string& edge : ChoicesOf(ppd(), "ZLKMSILeadingEdge")) {
        JobOptions options(("ZLKInputSlot=BypassTray ZLKMSILeadingEdge=" + edge).c_str());
        PDFDocInfo info;
        pdfDocInfo_init("", info);
        const int turn = checkMSIOrientation(options.count(), options.options(), info);
        EXPECT_EQ(turn == 1, edge.back() == 'R') << edge;
        turned += turn;
    }
    EXPECT_GT(turned, 0);
}

TEST_P(SamplePpd, ConstraintsKeepContradictoryFinishingApart)
{
    struct Pair {
        const char* option1;
        const char* choice1;
        const char* option2;
        const char* choice2;
    };
    const Pair pairs[] = {
        {"InputSlot", "BypassTray", "ZLKIntCoverSheet", "MSI"},
        {"ZLKIntBackCoverSheet", "MSI", "InputSlot", "BypassTray"},
        {"InputSlot", "BypassTray", "ZLKIntSheet", "MSI"},
        {"ZLKStaple", "UpperLeftSinglePort", "ZLKSignature", "LeftSigCenterStaple"},
        {"ZLKSignature", "RightSigFold", "ZLKPunch", "Left"},
        {"PageSize", "Postcard", "ZLKStaple", "UpperLeftSinglePort"},
        {"ZLKPunch", "None", "ZLKNumPunchHoles", "4Holes"},
        {"ZLKFinisher", "None", "ZLKStaple", "UpperLeftSinglePort"},
        {"ZLKOptionalTrays", "None", "InputSlot", "3rdTray"},
    };
    int tried = 0;
    for (const Pair& pair : pairs) {
        ppd_option_t* first = ppdFindOption(ppd(), pair.option1);
        ppd_option_t* second = ppdFindOption(ppd(), pair.option2);
        if (!first || !second || !ppdFindChoice(first, pair.choice1) || !ppdFindChoice(second, pair.choice2))
            continue;
        ++tried;
        // Everything installed, so that only the pair itself can conflict.
        ppdMarkDefaults(ppd());
        for (const char* installable : {"ZLKFinisher", "ZLKOptionalTrays"})
            if (ppd_option_t* option = ppdFindOption(ppd(), installable))
                ppdMarkOption(ppd(), installable, option->choices[option->num_choices - 1].choice);
        ppdMarkOption(ppd(), pair.option1, pair.choice1);
        EXPECT_EQ(ppdConflicts(ppd()), 0) << pair.option1 << " " << pair.choice1 << " alone";
        ppdMarkOption(ppd(), pair.option2, pair.choice2);
        EXPECT_GT(ppdConflicts(ppd()), 0)
            << pair.option1 << " " << pair.choice1 << " with " << pair.option2 << " " << pair.choice2;
    }
    EXPECT_GE(tried, 4);
}

TEST_P(SamplePpd, BooleanListedTrueFirstIsAPlainSwitch)
{
    const char* keyword = GetParam().trueFirstSwitch;
    if (*keyword == '\0')
        return;
    ppd_option_t* option = ppdFindOption(ppd(), keyword);
    ASSERT_NE(option, nullptr) << keyword;
    EXPECT_EQ(option->ui, PPD_UI_BOOLEAN);
    // The dialog takes the first choice as switched on.
    EXPECT_EQ(ChoicesOf(ppd(), keyword), (std::vector<std::string>{"True", "False"}));
}

TEST_P(SamplePpd, ConstraintDefinitionFileReadsAsTheFeaturesTableOfThisEdit)
{
    const DefinitionFile* given = GetParam().definition;
    const std::string named = AttrValue(ppd(), "ZLKXCDFSetting");
    if (!given) {
        EXPECT_EQ(named, "");
        return;
    }
    const DefinitionFile& definition = *given;
    EXPECT_EQ(named, kDefinitionDir + definition.file);

    // The installed path does not exist here: a copy names the source file.
    const std::string source = kPpdDir + "/" + definition.file;
    std::string text = zlk::test::ReadFile(PathOf(GetParam()));
    const auto at = text.find(named);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, named.size(), source);
    zlk::test::TempDir dir;
    zlk::test::WriteFile(dir.file("copy.ppd"), text);
    zlk::common::PPDHandle copy(ppdOpenFile(dir.file("copy.ppd").c_str()));
    ASSERT_NE(copy, nullptr);

    using namespace zlk::ppd;
    XConstraintTable read = MakeXConstraintTable();
    ASSERT_EQ(GetXPPD(copy.get(), &read, "PrintFeaturePDE", "ZLKXCDFSetting"), 0);
    EXPECT_FALSE(read.empty());

    // The entry only the file has, by the libcups positions of its marked choice.
    x_constraints marked{};
    bool found = false;
    for (int g = 0; g < copy->num_groups && !found; ++g)
        for (int o = 0; o < copy->groups[g].num_options && !found; ++o) {
            const ppd_option_t& option = copy->groups[g].options[o];
            if (std::strcmp(option.keyword, definition.markedOption) != 0)
                continue;
            for (int c = 0; c < option.num_choices && !found; ++c)
                if (std::strcmp(option.choices[c].choice, definition.markedChoice) == 0) {
                    marked = {static_cast<std::uint16_t>(g), static_cast<std::uint16_t>(o),
                              static_cast<std::uint16_t>(c)};
                    found = true;
                }
        }
    ASSERT_TRUE(found) << definition.markedOption << " " << definition.markedChoice;
    const std::string key = XConstraintKey(definition.option, definition.choice);
    const auto [first, last] = read.equal_range(key);
    EXPECT_EQ(std::count_if(first, last, [&](const auto& entry) { return entry.second == marked; }), 1) << key;

    // Every other entry is one the PPD's own constraints give, at the same
    // positions, so the file was made from this edit of the PPD.
    std::vector<std::string> keywords;
    for (int g = 0; g < copy->num_groups; ++g)
        for (int o = 0; o < copy->groups[g].num_options; ++o)
            keywords.push_back(copy->groups[g].options[o].keyword);
    XConstraintTable built = MakeXConstraintTable();
    SetXppd(copy.get(), &built, keywords);
    auto inBuilt = [&](const std::string& k, const x_constraints& ref) {
        const auto [from, to] = built.equal_range(k);
        return std::any_of(from, to, [&](const auto& entry) { return entry.second == ref; });
    };
    EXPECT_FALSE(inBuilt(key, marked)) << "the PPD's UIConstraints give " << key;
    for (const auto& [k, ref] : read) {
        if (k != key || !(ref == marked)) {
            EXPECT_TRUE(inBuilt(k, ref)) << k << "@" << ref.group << "@" << ref.option << "@" << ref.choice;
        }
    }

    // The dialog disables the choice while the marked choice is marked.
    ppdMarkDefaults(copy.get());
    EXPECT_FALSE(IsPPDChoiceConflicted(copy.get(), &read, definition.option, definition.choice));
    ppdMarkOption(copy.get(), definition.markedOption, definition.markedChoice);
    EXPECT_TRUE(IsPPDChoiceConflicted(copy.get(), &read, definition.option, definition.choice));
    EXPECT_FALSE(IsPPDChoiceConflicted(copy.get(), &built, definition.option, definition.choice));

    // The last line ties the file to its PPD.
    std::istringstream file(zlk::test::ReadFile(source));
    std::string line, stamp;
    while (std::getline(file, line))
        if (!line.empty())
            stamp = line;
    std::istringstream ppdText(zlk::test::ReadFile(PathOf(GetParam())));
    std::string edit;
    while (std::getline(ppdText, line) && edit.empty())
        if (line.rfind("*% Last Edit Date:", 0) == 0)
            edit = line;
    EXPECT_FALSE(edit.empty());
    EXPECT_EQ(stamp, edit);
}

TEST_P(SamplePpd, PassesCupstestppd)
{
    const std::string program = ZLK_CUPSTESTPPD;
    if (program.empty() || access(program.c_str(), X_OK) != 0)
        GTEST_SKIP() << "cupstestppd is not installed";
    // The driver's filter is not installed on the build machine; every other
    // check stays an error.
    zlk::test::RunOptions options;
    options.args = {"cupstestppd", "-I", "filters", PathOf(GetParam())};
    options.env = {{"LC_ALL", "C"}};
    const zlk::test::RunResult result = zlk::test::RunProgram(program, options);
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_NE(result.out.find(": PASS"), std::string::npos) << result.out;
}

INSTANTIATE_TEST_SUITE_P(ppd, SamplePpd, ::testing::ValuesIn(kSamples),
                         [](const ::testing::TestParamInfo<Sample>& info) {
                             std::string name = std::filesystem::path(info.param.file).stem().string();
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });
