#include "filter/ticket.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "capture.h"
#include "process.h"
#include "records.h"
#include "testpdf.h"

namespace zlk::filter {
namespace {

using zlk::filter::test::NoOptions;
using zlk::filter::test::Set;
using zlk::test::CaptureStdout;
using zlk::test::TempDir;
using zlk::test::WriteFile;

const char kXmllint[] = "/usr/bin/xmllint";

struct Job {
    printoptions options = NoOptions(PrintType::Normal);
    DocumentNames names{};
    std::vector<const char*> argv{"ZLKPrintFilter", "42", "spooluser", "Report", "1", "", nullptr};

    std::string Ticket() const
    {
        return CaptureStdout([&] { EXPECT_EQ(OutputPrintTicketCommand(argv.data(), options, names), 1); });
    }
};

const char kScaling[] =
    "\t\t<Sides>OneSided</Sides>\n"
    "\t\t<ScalingFactor>\n"
    "\t\t\t<ScalingFactorX>100</ScalingFactorX>\n"
    "\t\t\t<ScalingFactorY>100</ScalingFactorY>\n"
    "\t\t</ScalingFactor>\n";

// The expected ticket, from the parts that vary between jobs.
struct Expected {
    std::string description, processing;
    std::string collate = "Uncollated";
    std::string sides = kScaling, covers, mediaSize;
    std::string location = "\t\t\t\t<MediaLocation>AutoSelect</MediaLocation>\n";
    std::string finishings;

    std::string Text() const
    {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PwgPrintJobTicket>\n\t<JobDescription>\n"
               "\t\t<ContentsBridgeMode>5</ContentsBridgeMode>\n" +
               description + "\t</JobDescription>\n\t<JobProcessing>\n" + processing +
               "\t</JobProcessing>\n\t<DocumentProcessing>\n"
               "\t\t<ColorEffectsType>Color</ColorEffectsType>\n\t\t<PrintQuality>Normal</PrintQuality>\n"
               "\t\t<Copies>1</Copies>\n\t\t<SheetCollate>" +
               collate + "</SheetCollate>\n" + sides + covers + "\t\t<MediaCol>\n" + mediaSize +
               "\t\t\t<MediaLocations>\n" + location + "\t\t\t</MediaLocations>\n\t\t</MediaCol>\n" + finishings +
               "\t</DocumentProcessing>\n</PwgPrintJobTicket>\n";
    }
};

TEST(Ticket, NormalPrintWithoutFeatures)
{
    EXPECT_EQ(Job().Ticket(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<PwgPrintJobTicket>\n"
              "\t<JobDescription>\n"
              "\t\t<ContentsBridgeMode>5</ContentsBridgeMode>\n"
              "\t</JobDescription>\n"
              "\t<JobProcessing>\n"
              "\t</JobProcessing>\n"
              "\t<DocumentProcessing>\n"
              "\t\t<ColorEffectsType>Color</ColorEffectsType>\n"
              "\t\t<PrintQuality>Normal</PrintQuality>\n"
              "\t\t<Copies>1</Copies>\n"
              "\t\t<SheetCollate>Uncollated</SheetCollate>\n"
              "\t\t<Sides>OneSided</Sides>\n"
              "\t\t<ScalingFactor>\n"
              "\t\t\t<ScalingFactorX>100</ScalingFactorX>\n"
              "\t\t\t<ScalingFactorY>100</ScalingFactorY>\n"
              "\t\t</ScalingFactor>\n"
              "\t\t<MediaCol>\n"
              "\t\t\t<MediaLocations>\n"
              "\t\t\t\t<MediaLocation>AutoSelect</MediaLocation>\n"
              "\t\t\t</MediaLocations>\n"
              "\t\t</MediaCol>\n"
              "\t</DocumentProcessing>\n"
              "</PwgPrintJobTicket>\n");
}

TEST(Ticket, WholeTicketsOfPrintTypesAndFinishing)
{
    // Each case sets up the job's options and what its ticket differs in.
    const std::pair<const char*, std::function<void(printoptions&, Expected&)>> cases[] = {
        {"secure print",
         [](printoptions& o, Expected& e) {
             o.printType.printType = PrintType::Secure;
             Set(o.printType.userName, "a<b");
             Set(o.printType.password, "1234");
             e.description =
                 "\t\t<RequestingUserName>a&lt;b</RequestingUserName>\n\t\t<JobPassword>1234</JobPassword>\n";
             e.collate = "Collated";
         }},
        {"delayed print names the spooler's user",
         [](printoptions& o, Expected& e) {
             o.printType.printType = PrintType::Delayed;
             Set(o.printType.userName, "not the spooler's");
             Set(o.printType.delayPrintTime, "22:");
             Set(o.features.jog, "EndOfSet");
             e.description = "\t\t<RequestingUserName>spooluser</RequestingUserName>\n";
             e.processing =
                 "                <JobOffset>OffsetSet</JobOffset>\n"
                 "                <JobHoldUntilTime>22:00:00</JobHoldUntilTime>\n";
         }},
        {"sample print",
         [](printoptions& o, Expected& e) {
             o.printType.printType = PrintType::Sample;
             Set(o.printType.userName, "carol");
             e.description = "\t\t<RequestingUserName>carol</RequestingUserName>\n";
             e.processing = "\t\t<ProofPrint>\n\t\t\t<ProofPrintCopies>1</ProofPrintCopies>\n\t\t</ProofPrint>\n";
             e.collate = "Collated";
         }},
        {"booklet replaces the scaling and binds after the maker",
         [](printoptions& o, Expected& e) {
             Set(o.features.signature, "LeftSigCenterStaple");
             Set(o.features.bookletMarginSwitch, "1");
             Set(o.features.bookletMarginShift, "5");
             Set(o.features.sigVol, "5Sheets");
             e.collate = "Collated";
             e.sides =
                 "\t\t<Sides>TwoSidedShortEdge</Sides>\n\t\t<NumberUp>2</NumberUp>\n"
                 "\t\t<ImpositionTemplate>BookletSignature</ImpositionTemplate>\n"
                 "\t\t<ImpositionGutterCreepX>200</ImpositionGutterCreepX>\n"
                 "\t\t<SheetsPerSubset>5</SheetsPerSubset>\n";
             e.finishings =
                 "\t\t<Finishings>\n\t\t\t<Finishing>BookletMaker</Finishing>\n"
                 "\t\t\t<Finishing>BindLeftPortrait</Finishing>\n\t\t</Finishings>\n";
         }},
        {"punch without staple or hole count",
         [](printoptions& o, Expected& e) {
             Set(o.features.staple, "None");
             Set(o.features.punch, "Left");
             e.finishings = "\t\t<Finishings>\n\t\t\t<Finishing>Punch2HoleLeft</Finishing>\n\t\t</Finishings>\n";
         }},
        {"custom media size, and the cover's and the slot's bypass tray",
         [](printoptions& o, Expected& e) {
             Set(o.ppd.emitPageSizeCommandDefault, "True");
             Set(o.features.media, "Custom.612x792");
             Set(o.features.intCoverSheet, "MSI");
             Set(o.features.inputSlot, "BypassTray");
             e.covers =
                 "\t\t<CoverFront>\n\t\t\t<CoverCol>\n\t\t\t\t<CoverType>PrintNone</CoverType>\n"
                 "\t\t\t\t<MediaCol>\n\t\t\t\t<MediaLocations>\n"
                 "\t\t\t\t\t\t<MediaLocation>ManualTray</MediaLocation>\n"
                 "\t\t\t\t</MediaLocations>\n\t\t\t\t</MediaCol>\n\t\t\t</CoverCol>\n\t\t</CoverFront>\n";
             e.mediaSize =
                 "\t\t\t<MediaSize>\n\t\t\t\t<XDimension>21590</XDimension>\n"
                 "\t\t\t\t<YDimension>27940</YDimension>\n\t\t\t</MediaSize>\n";
             e.location = "\t\t\t\t<MediaLocation>ManualTray</MediaLocation>\n";
         }},
    };
    for (const auto& [what, setUp] : cases) {
        Job job;
        Expected expected;
        setUp(job.options, expected);
        EXPECT_EQ(job.Ticket(), expected.Text()) << what;
    }
}

TEST(Ticket, PasscodeCannotAddElements)
{
    Job job;
    job.options.printType.printType = PrintType::Secure;
    Set(job.options.printType.password, "1</JobPassword><Copies>99");
    const std::string ticket = job.Ticket();
    EXPECT_NE(ticket.find("\t\t<JobPassword>1&lt;/JobPassword&gt;&lt;Copies&gt;99</JobPassword>\n"), std::string::npos);
    EXPECT_EQ(ticket.find("<Copies>"), ticket.rfind("<Copies>"));
}

TEST(Ticket, ShortArgumentVectorGivesEmptyUserAndCopies)
{
    Job job;
    job.options.printType.printType = PrintType::Delayed;
    job.argv = {"ZLKPrintFilter", nullptr};
    const std::string ticket = job.Ticket();
    EXPECT_NE(ticket.find("\t\t<RequestingUserName></RequestingUserName>\n"), std::string::npos);
    EXPECT_NE(ticket.find("\t\t<Copies></Copies>\n"), std::string::npos);
}

// --- element routines -------------------------------------------------------

TEST(TicketJobDescription, JobNameSourcesAndPasswordCondition)
{
    struct Case {
        PrintType printType;
        DocumentNameType documentNameType;
        const char* userName;
        const char* expected;
    };
    const Case cases[] = {
        {PrintType::Secure, DocumentNameType::Automatic, "",
         "\t\t<JobName>Plan &amp; budget</JobName>\n\t\t<RequestingUserName></RequestingUserName>\n"},
        {PrintType::Secure, DocumentNameType::Entered, "O'Neil",
         "\t\t<JobName>&quot;Own&quot; name</JobName>\n\t\t<RequestingUserName>O&apos;Neil</RequestingUserName>\n"},
        {PrintType::Normal, DocumentNameType::Entered, "O'Neil", ""},  // normal print names nobody
    };
    DocumentNames names{};
    Set(names.PTStdDocumentNameForUTF8, "Plan & budget");
    for (const Case& c : cases) {
        printoptions o = NoOptions(c.printType);
        Set(o.printType.documentName, "\"Own\" name");
        o.printType.documentNameType = c.documentNameType;
        Set(o.printType.userName, c.userName);
        EXPECT_EQ(CaptureStdout([&] { JTOutPutJobDescription(o, "x", names); }), c.expected) << c.userName;
    }
}

TEST(TicketJobProcessing, HoldTimeCompletesPartialTimes)
{
    printoptions o = NoOptions(PrintType::Delayed);
    for (auto [stored, sent] :
         {std::pair{"22:", "22:00:00"}, {"22:30:", "22:30:00"}, {"2024-03-05T09:07:00", "2024-03-05T09:07:00"}}) {
        Set(o.printType.delayPrintTime, stored);
        EXPECT_EQ(CaptureStdout([&] { JTOutPutJobProcessing(o); }),
                  std::string("                <JobHoldUntilTime>") + sent + "</JobHoldUntilTime>\n");
    }
    Set(o.printType.delayPrintTime, "");
    Set(o.features.jog, "DeviceDeactivation");
    EXPECT_EQ(CaptureStdout([&] { JTOutPutJobProcessing(o); }), "                <JobOffset>OffsetJob</JobOffset>\n");
}

// The colour mode's mapping is checked with the sample PPDs' choices
// (tests/data, PaperSourcesAndTypesAreThoseTheTicketNames).
TEST(TicketDocumentProcessing, QualityCollationAndSides)
{
    struct Case {
        const char* outputMode;
        const char* collate;
        const char* staple;
        int32_t duplexing;
        const char* quality;
        const char* collated;
        const char* sides;
    };
    const Case cases[] = {
        {"HighSpeed", "true", "", kTwoSidedLongEdge, "Draft", "Collated", "TwoSidedLongEdge"},
        {"HighQuality", "False", "UpperLeftSinglePort", kTwoSidedShortEdge, "High", "Collated", "TwoSidedShortEdge"},
        {"Fine", "False", "None", -1, "Normal", "Uncollated", "OneSided"},
    };
    for (const Case& c : cases) {
        printoptions o = NoOptions(PrintType::Normal);
        Set(o.features.outputMode, c.outputMode);
        Set(o.features.collate, c.collate);
        Set(o.features.staple, c.staple);
        o.features.duplexing = c.duplexing;
        EXPECT_EQ(CaptureStdout([&] {
                      JTOutPutOutputMode(o);
                      JTOutPutCollate(o);
                  }),
                  std::string("\t\t<PrintQuality>") + c.quality + "</PrintQuality>\n\t\t<SheetCollate>" + c.collated +
                      "</SheetCollate>\n")
            << c.outputMode;
        EXPECT_TRUE(
            CaptureStdout([&] { JTOutPutSides(o); }).starts_with(std::string("\t\t<Sides>") + c.sides + "</Sides>\n"))
            << c.outputMode;
    }
}

// Sheet counts of the sample PPDs' choices ("5Sheets", "None") are checked
// with them (tests/data, BookletChoicesReachTheTicket).
TEST(TicketDocumentProcessing, BookletGutterAndSheetsPerSubset)
{
    struct Case {
        const char* marginSwitch;
        const char* marginShift;
        const char* sigVol;
        const char* tail;  // what follows the imposition template
    };
    const Case cases[] = {
        {"0", "9", "", "\t\t<SheetsPerSubset>0</SheetsPerSubset>\n"},
        {"1", "", "None",
         "\t\t<ImpositionGutterCreepX>0</ImpositionGutterCreepX>\n\t\t<SheetsPerSubset>0</SheetsPerSubset>\n"},
        // "Sheet" split at S, h, e and t leaves no piece.
        {"1", "7mm", "Sheet",
         "\t\t<ImpositionGutterCreepX>300</ImpositionGutterCreepX>\n\t\t<SheetsPerSubset>0</SheetsPerSubset>\n"},
    };
    for (const Case& c : cases) {
        printoptions o = NoOptions(PrintType::Normal);
        Set(o.features.signature, "RightSig");
        Set(o.features.bookletMarginSwitch, c.marginSwitch);
        Set(o.features.bookletMarginShift, c.marginShift);
        Set(o.features.sigVol, c.sigVol);
        const std::string text = CaptureStdout([&] { JTOutPutSides(o); });
        EXPECT_EQ(text.substr(text.find("</ImpositionTemplate>\n") + 22), c.tail) << c.marginShift << " " << c.sigVol;
    }
}

TEST(TicketDocumentProcessing, CoversOutsideTheTrayMapKeepTheirBlock)
{
    printoptions o = NoOptions(PrintType::Normal);
    Set(o.features.intCoverSheet, "None");
    Set(o.features.intBackCoverSheet, "5thTray");
    const std::string text = CaptureStdout([&] { JTOutPutCoverFrontAndCoverBack(o); });
    EXPECT_EQ(text,
              "\t\t<CoverBack>\n\t\t\t<CoverCol>\n\t\t\t\t<CoverType>PrintNone</CoverType>\n"
              "\t\t\t\t<MediaCol>\n\t\t\t\t<MediaLocations>\n\t\t\t\t</MediaLocations>\n"
              "\t\t\t\t</MediaCol>\n\t\t\t</CoverCol>\n\t\t</CoverBack>\n");
    Set(o.features.intCoverSheet, "2ndTray");
    Set(o.features.intBackCoverSheet, "");
    EXPECT_NE(CaptureStdout([&] { JTOutPutCoverFrontAndCoverBack(o); })
                  .find("<CoverFront>\n\t\t\t<CoverCol>\n\t\t\t\t<CoverType>PrintNone</CoverType>\n"
                        "\t\t\t\t<MediaCol>\n\t\t\t\t<MediaLocations>\n"
                        "\t\t\t\t\t\t<MediaLocation>Tray2</MediaLocation>\n"),
              std::string::npos);
}

// The mapping tables, for the values the sample PPDs' own tests do not pin
// (tests/data checks A4, the page-size switch, the media types without a
// ticket name, every punch and staple choice and the colour modes).
TEST(TicketDocumentProcessing, MappingTables)
{
    struct Case {
        const char* what;
        char (stFeaturesOption::*field)[64];
        void (*part)(const printoptions&);
        const char* value;
        const char* expected;
    };
    const Case cases[] = {
        {"media", &stFeaturesOption::media, JTMedia, "Tabloid", "\t\t\t<MediaSizeName>ledger</MediaSizeName>\n"},
        {"media", &stFeaturesOption::media, JTMedia, "DoublePostcard", "\t\t\t<MediaSizeName>hagaki</MediaSizeName>\n"},
        {"media", &stFeaturesOption::media, JTMedia, "Legal", "\t\t\t<MediaSizeName>legal</MediaSizeName>\n"},
        {"media", &stFeaturesOption::media, JTMedia, "A4.Transverse", ""},
        {"media", &stFeaturesOption::media, JTMedia, "", ""},
        {"media", &stFeaturesOption::media, JTMedia, "Custom.595x842",
         "\t\t\t<MediaSize>\n\t\t\t\t<XDimension>20990</XDimension>\n"
         "\t\t\t\t<YDimension>29704</YDimension>\n\t\t\t</MediaSize>\n"},
        {"media", &stFeaturesOption::media, JTMedia, "Custom.595", "\t\t\t<MediaSize>\n\t\t\t</MediaSize>\n"},
        {"slot", &stFeaturesOption::inputSlot, JTOutPutMediaLocation, "3rdTray",
         "\t\t\t\t<MediaLocation>Tray3</MediaLocation>\n"},
        {"slot", &stFeaturesOption::inputSlot, JTOutPutMediaLocation, "Auto",
         "\t\t\t\t<MediaLocation>AutoSelect</MediaLocation>\n"},
        // The cover's name for the bypass tray, not the slot's.
        {"slot", &stFeaturesOption::inputSlot, JTOutPutMediaLocation, "MSI", ""},
        {"type", &stFeaturesOption::mediaType, JTOutPutMediaType, "Stationary",
         "\t\t\t<MediaType>stationery</MediaType>\n"},
        {"type", &stFeaturesOption::mediaType, JTOutPutMediaType, "StationaryBack",
         "\t\t\t<MediaKey>Used</MediaKey>\n"},
        {"type", &stFeaturesOption::mediaType, JTOutPutMediaType, "RecyclePaper",
         "\t\t\t<MediaKey>Recycled</MediaKey>\n"},
        {"type", &stFeaturesOption::mediaType, JTOutPutMediaType, "ThickPaper", "\t\t\t<MediaKey>Thick1</MediaKey>\n"},
    };
    for (const Case& c : cases) {
        printoptions o = NoOptions(PrintType::Normal);
        Set(o.ppd.emitPageSizeCommandDefault, "True");
        Set(o.features.*c.field, c.value);
        EXPECT_EQ(CaptureStdout([&] { c.part(o); }), c.expected) << c.what << " " << c.value;
    }
}

TEST(TicketDocumentProcessing, FinishingsInOrder)
{
    printoptions o = NoOptions(PrintType::Normal);
    Set(o.features.staple, "BottomDoublePort");
    Set(o.features.punch, "Top");
    Set(o.features.numPunchHoles, "3Holes");
    Set(o.features.signature, "RightSigFold");
    EXPECT_EQ(CaptureStdout([&] { JTOutPutFinishing(o); }),
              "\t\t<Finishings>\n\t\t\t<Finishing>StapleDualBottom</Finishing>\n"
              "\t\t\t<Finishing>Punch3HoleTop</Finishing>\n\t\t\t<Finishing>BookletFold</Finishing>\n"
              "\t\t\t<Finishing>BindRightPortrait</Finishing>\n\t\t</Finishings>\n");
}

// --- escaping and line limits -----------------------------------------------

TEST(TicketEscaping, AllFiveEntities)
{
    char out[kJobTicketEscapeSize];
    EXPECT_EQ(DecodeCupsReservedChar("a\"b&c'd<e>f", out, sizeof out), 31u);
    EXPECT_STREQ(out, "a&quot;b&amp;c&apos;d&lt;e&gt;f");
}

TEST(TicketEscaping, StopsWholeWhenFewerThanSixBytesAreLeft)
{
    char out[kJobTicketEscapeSize];
    EXPECT_EQ(DecodeCupsReservedChar(std::string(1000, 'a').c_str(), out, sizeof out), 506u);
    EXPECT_EQ(DecodeCupsReservedChar((std::string(505, 'a') + "\"x").c_str(), out, sizeof out), 511u);
    EXPECT_EQ(std::string(out).substr(505), "&quot;");
    EXPECT_EQ(DecodeCupsReservedChar((std::string(506, 'a') + "\"").c_str(), out, sizeof out), 506u);
    char small[10];
    EXPECT_EQ(DecodeCupsReservedChar("abc\xE2\x82\xAC"
                                     "def",
                                     small, sizeof small),
              6u);
    EXPECT_STREQ(small, "abc\xE2\x82\xAC");  // the euro sign whole
}

// One element line for value through the two-tab writer, checked for form.
std::string CheckedLine(const std::string& value)
{
    std::string line = CaptureStdout([&] { MakeJobTicketCommandForDocumentName("JobName", value.c_str()); });
    EXPECT_LE(line.size(), kJobTicketLineMax);
    EXPECT_EQ(line.substr(0, 11), "\t\t<JobName>");
    EXPECT_EQ(line.substr(line.size() - 11), "</JobName>\n");
    return line.substr(11, line.size() - 22);
}

TEST(TicketLines, LongValuesEndOnABoundaryBeforeTheClosingTag)
{
    // 254 bytes less the tags and indent leave 232 for the value.
    EXPECT_EQ(CheckedLine(std::string(1000, 'a')), std::string(232, 'a'));
    std::string ampersands;
    for (int i = 0; i < 1000; ++i)
        ampersands += "&amp;";
    EXPECT_EQ(CheckedLine(ampersands), ampersands.substr(0, 230));
    std::string kana;
    for (int i = 0; i < 1000; ++i)
        kana += "\xE3\x81\x82";
    EXPECT_EQ(CheckedLine(kana), kana.substr(0, 231));

    char escaped[kJobTicketEscapeSize];
    DecodeCupsReservedChar(std::string(1000, '\'').c_str(), escaped, sizeof escaped);
    EXPECT_EQ(CheckedLine(escaped), std::string(escaped).substr(0, 228));
}

TEST(TicketLines, DropsWhatXmlCannotCarry)
{
    // CP932 bytes, a stray continuation byte, controls, an overlong slash and bare markup.
    EXPECT_EQ(CheckedLine("a\x82\xA0"
                          "b\x01\n\tc\xC0\xAF"
                          "d&e<f>g&lt;"),
              "ab\tcdefg&lt;");
    EXPECT_EQ(CheckedLine("\xF0\x9F\x98\x80\xED\xA0\x80"), "\xF0\x9F\x98\x80");  // surrogate dropped
}

// --- the ticket read by an XML parser -----------------------------------------

zlk::test::RunResult Xmllint(const std::string& ticket)
{
    TempDir dir;
    WriteFile(dir.file("ticket.xml"), ticket);
    zlk::test::RunOptions run;
    run.args = {kXmllint, "--noout", "-"};
    run.stdinPath = dir.file("ticket.xml");
    return zlk::test::RunProgram(kXmllint, run);
}

TEST(TicketXml, HostileInputsStayWellFormed)
{
    ASSERT_TRUE(std::filesystem::exists(kXmllint));
    ASSERT_NE(Xmllint("<a>\xFF&</a>\n").exitCode, 0);  // the parser does refuse broken text
    const std::vector<std::function<void(Job&)>> hostile = {
        [](Job& j) { Set(j.options.printType.userName, "<>&\"'"); },
        [](Job& j) {
            Set(j.options.printType.userName,
                "\x82\xA0\xFF\xC3"
                "x]]>\x7F\x1B");
        },
        [](Job& j) { Set(j.options.printType.userName, std::string(72, '&')); },
        [](Job& j) {
            j.options.printType.documentNameType = DocumentNameType::Entered;
            Set(j.options.printType.documentName, std::string(192, '<'));
        },
        [](Job& j) {
            j.options.printType.documentNameType = DocumentNameType::Automatic;
            Set(j.names.PTStdDocumentNameForUTF8, std::string(85, '\xE3') + "\"]]><!--");
        },
        [](Job& j) {
            j.options.printType.printType = PrintType::Secure;
            Set(j.options.printType.password, "1</JobPassword><Copies>99");
        },
        [](Job& j) {
            j.options.printType.printType = PrintType::Delayed;
            j.argv[2] = "<root/>&";
            j.argv[4] = "1<!-- ";
            Set(j.options.printType.delayPrintTime, "<a>&:");
        },
        [](Job& j) {
            Set(j.options.features.signature, "LeftSig");
            Set(j.options.features.sigVol, "<&>Sheets");
            Set(j.options.ppd.emitPageSizeCommandDefault, "True");
            Set(j.options.features.media, "Custom.1e999xnan");
        },
    };
    for (std::size_t i = 0; i < hostile.size(); ++i) {
        Job job;
        job.options.printType.printType = PrintType{0};  // any type but normal names the job
        hostile[i](job);
        const std::string ticket = job.Ticket();
        zlk::test::RunResult result = Xmllint(ticket);
        EXPECT_EQ(result.exitCode, 0) << "case " << i << ":\n" << result.err << ticket;
    }
}

TEST(TicketXml, EscapedUserNameReadsBackUnchanged)
{
    Job job;
    job.options.printType.printType = PrintType{0};
    Set(job.options.printType.userName, "a<b&\"c'>");
    TempDir dir;
    WriteFile(dir.file("ticket.xml"), job.Ticket());
    zlk::test::RunOptions run;
    run.args = {kXmllint, "--xpath", "string(//RequestingUserName)", dir.file("ticket.xml")};
    zlk::test::RunResult result = zlk::test::RunProgram(kXmllint, run);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out.substr(0, result.out.find_last_not_of('\n') + 1), "a<b&\"c'>");
}

}  // namespace
}  // namespace zlk::filter
