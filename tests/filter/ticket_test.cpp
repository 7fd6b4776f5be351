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
#include "testpdf.h"

namespace zlk::filter {
namespace {

using zlk::test::CaptureStdout;
using zlk::test::TempDir;
using zlk::test::WriteFile;

const char kXmllint[] = "/usr/bin/xmllint";

template <std::size_t N>
void Set(char (&field)[N], const std::string& value)
{
    std::snprintf(field, N, "%s", value.c_str());
}

// The record as the readers leave it when no option is given.
printoptions NoOptions(int printType)
{
    printoptions o{};
    o.printType.printType = printType;
    o.printType.documentNameType = -1;
    o.features.duplexing = -1;
    Set(o.features.numberUp, "1");
    return o;
}

struct Job {
    printoptions options = NoOptions(1);
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

TEST(Ticket, PrintTypes)
{
    Job secure;
    secure.options.printType.printType = 2;
    Set(secure.options.printType.userName, "a<b");
    Set(secure.options.printType.password, "1234");
    Expected e;
    e.description = "\t\t<RequestingUserName>a&lt;b</RequestingUserName>\n\t\t<JobPassword>1234</JobPassword>\n";
    e.collate = "Collated";
    EXPECT_EQ(secure.Ticket(), e.Text());

    Job delayed;
    delayed.options.printType.printType = 4;
    Set(delayed.options.printType.userName, "not the spooler's");
    Set(delayed.options.printType.delayPrintTime, "22:");
    Set(delayed.options.features.jog, "EndOfSet");
    e = {};
    e.description = "\t\t<RequestingUserName>spooluser</RequestingUserName>\n";
    e.processing =
        "                <JobOffset>OffsetSet</JobOffset>\n"
        "                <JobHoldUntilTime>22:00:00</JobHoldUntilTime>\n";
    EXPECT_EQ(delayed.Ticket(), e.Text());

    Job sample;
    sample.options.printType.printType = 3;
    Set(sample.options.printType.userName, "carol");
    e = {};
    e.description = "\t\t<RequestingUserName>carol</RequestingUserName>\n";
    e.processing = "\t\t<ProofPrint>\n\t\t\t<ProofPrintCopies>1</ProofPrintCopies>\n\t\t</ProofPrint>\n";
    e.collate = "Collated";
    EXPECT_EQ(sample.Ticket(), e.Text());
}

TEST(Ticket, BookletReplacesScalingAndBindsAfterTheMaker)
{
    Job job;
    Set(job.options.features.signature, "LeftSigCenterStaple");
    Set(job.options.features.bookletMarginSwitch, "1");
    Set(job.options.features.bookletMarginShift, "5");
    Set(job.options.features.sigVol, "5Sheets");
    Expected e;
    e.collate = "Collated";
    e.sides =
        "\t\t<Sides>TwoSidedShortEdge</Sides>\n\t\t<NumberUp>2</NumberUp>\n"
        "\t\t<ImpositionTemplate>BookletSignature</ImpositionTemplate>\n"
        "\t\t<ImpositionGutterCreepX>200</ImpositionGutterCreepX>\n"
        "\t\t<SheetsPerSubset>5</SheetsPerSubset>\n";
    e.finishings =
        "\t\t<Finishings>\n\t\t\t<Finishing>BookletMaker</Finishing>\n"
        "\t\t\t<Finishing>BindLeftPortrait</Finishing>\n\t\t</Finishings>\n";
    EXPECT_EQ(job.Ticket(), e.Text());
}

TEST(Ticket, PunchWithoutStapleOrHoleCount)
{
    Job job;
    Set(job.options.features.staple, "None");
    Set(job.options.features.punch, "Left");
    Expected e;
    e.finishings = "\t\t<Finishings>\n\t\t\t<Finishing>Punch2HoleLeft</Finishing>\n\t\t</Finishings>\n";
    EXPECT_EQ(job.Ticket(), e.Text());
}

TEST(Ticket, CustomMediaSizeAndCoverTrays)
{
    Job job;
    Set(job.options.ppd.emitPageSizeCommandDefault, "True");
    Set(job.options.features.media, "Custom.612x792");
    Set(job.options.features.intCoverSheet, "MSI");
    Set(job.options.features.inputSlot, "BypassTray");
    Expected e;
    e.covers =
        "\t\t<CoverFront>\n\t\t\t<CoverCol>\n\t\t\t\t<CoverType>PrintNone</CoverType>\n"
        "\t\t\t\t<MediaCol>\n\t\t\t\t<MediaLocations>\n"
        "\t\t\t\t\t\t<MediaLocation>ManualTray</MediaLocation>\n"
        "\t\t\t\t</MediaLocations>\n\t\t\t\t</MediaCol>\n\t\t\t</CoverCol>\n\t\t</CoverFront>\n";
    e.mediaSize =
        "\t\t\t<MediaSize>\n\t\t\t\t<XDimension>21590</XDimension>\n"
        "\t\t\t\t<YDimension>27940</YDimension>\n\t\t\t</MediaSize>\n";
    e.location = "\t\t\t\t<MediaLocation>ManualTray</MediaLocation>\n";
    EXPECT_EQ(job.Ticket(), e.Text());
}

TEST(Ticket, PasscodeCannotAddElements)
{
    Job job;
    job.options.printType.printType = 2;
    Set(job.options.printType.password, "1</JobPassword><Copies>99");
    const std::string ticket = job.Ticket();
    EXPECT_NE(ticket.find("\t\t<JobPassword>1&lt;/JobPassword&gt;&lt;Copies&gt;99</JobPassword>\n"), std::string::npos);
    EXPECT_EQ(ticket.find("<Copies>"), ticket.rfind("<Copies>"));
}

TEST(Ticket, ShortArgumentVectorGivesEmptyUserAndCopies)
{
    Job job;
    job.options.printType.printType = 4;
    job.argv = {"ZLKPrintFilter", nullptr};
    const std::string ticket = job.Ticket();
    EXPECT_NE(ticket.find("\t\t<RequestingUserName></RequestingUserName>\n"), std::string::npos);
    EXPECT_NE(ticket.find("\t\t<Copies></Copies>\n"), std::string::npos);
}

// --- element routines -------------------------------------------------------

TEST(TicketJobDescription, JobNameSourcesAndPasswordCondition)
{
    printoptions o = NoOptions(2);
    DocumentNames names{};
    Set(names.PTStdDocumentNameForUTF8, "Plan & budget");
    Set(o.printType.documentName, "\"Own\" name");
    o.printType.documentNameType = 1;
    EXPECT_EQ(CaptureStdout([&] { JTOutPutJobDescription(o, "x", names); }),
              "\t\t<JobName>Plan &amp; budget</JobName>\n\t\t<RequestingUserName></RequestingUserName>\n");
    o.printType.documentNameType = 2;
    Set(o.printType.userName, "O'Neil");
    EXPECT_EQ(CaptureStdout([&] { JTOutPutJobDescription(o, "x", names); }),
              "\t\t<JobName>&quot;Own&quot; name</JobName>\n"
              "\t\t<RequestingUserName>O&apos;Neil</RequestingUserName>\n");
    o.printType.printType = 1;  // normal print names nobody
    EXPECT_EQ(CaptureStdout([&] { JTOutPutJobDescription(o, "x", names); }), "");
}

TEST(TicketJobProcessing, HoldTimeCompletesPartialTimes)
{
    printoptions o = NoOptions(4);
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

TEST(TicketDocumentProcessing, ColourQualityCollationAndSides)
{
    printoptions o = NoOptions(1);
    Set(o.features.colorMode, "Black");
    Set(o.features.outputMode, "HighSpeed");
    Set(o.features.collate, "true");
    o.features.duplexing = 2;
    EXPECT_EQ(CaptureStdout([&] {
                  JTOutPutColorMode(o);
                  JTOutPutOutputMode(o);
                  JTOutPutCollate(o);
              }),
              "\t\t<ColorEffectsType>MonochromeGrayscale</ColorEffectsType>\n"
              "\t\t<PrintQuality>Draft</PrintQuality>\n\t\t<SheetCollate>Collated</SheetCollate>\n");
    EXPECT_TRUE(CaptureStdout([&] { JTOutPutSides(o); }).starts_with("\t\t<Sides>TwoSidedLongEdge</Sides>\n"));
    Set(o.features.outputMode, "HighQuality");
    Set(o.features.collate, "False");
    Set(o.features.staple, "UpperLeftSinglePort");
    o.features.duplexing = 3;
    EXPECT_EQ(CaptureStdout([&] {
                  JTOutPutOutputMode(o);
                  JTOutPutCollate(o);
              }),
              "\t\t<PrintQuality>High</PrintQuality>\n\t\t<SheetCollate>Collated</SheetCollate>\n");
    EXPECT_TRUE(CaptureStdout([&] { JTOutPutSides(o); }).starts_with("\t\t<Sides>TwoSidedShortEdge</Sides>\n"));
    Set(o.features.staple, "None");
    Set(o.features.outputMode, "Fine");
    EXPECT_EQ(CaptureStdout([&] {
                  JTOutPutOutputMode(o);
                  JTOutPutCollate(o);
              }),
              "\t\t<PrintQuality>Normal</PrintQuality>\n\t\t<SheetCollate>Uncollated</SheetCollate>\n");
}

TEST(TicketDocumentProcessing, BookletGutterAndSheetsPerSubset)
{
    printoptions o = NoOptions(1);
    Set(o.features.signature, "RightSig");
    auto tail = [&] {
        std::string text = CaptureStdout([&] { JTOutPutSides(o); });
        return text.substr(text.find("</ImpositionTemplate>\n") + 22);
    };
    Set(o.features.bookletMarginSwitch, "0");
    Set(o.features.bookletMarginShift, "9");
    EXPECT_EQ(tail(), "\t\t<SheetsPerSubset>0</SheetsPerSubset>\n");
    Set(o.features.bookletMarginSwitch, "1");
    Set(o.features.bookletMarginShift, "");
    Set(o.features.sigVol, "None");
    EXPECT_EQ(tail(),
              "\t\t<ImpositionGutterCreepX>0</ImpositionGutterCreepX>\n"
              "\t\t<SheetsPerSubset>0</SheetsPerSubset>\n");
    Set(o.features.bookletMarginShift, "7mm");
    Set(o.features.sigVol, "Sheet");  // split at S, h, e and t: no piece
    EXPECT_EQ(tail(),
              "\t\t<ImpositionGutterCreepX>300</ImpositionGutterCreepX>\n"
              "\t\t<SheetsPerSubset>0</SheetsPerSubset>\n");
    Set(o.features.sigVol, "12Sheets");
    EXPECT_EQ(tail(),
              "\t\t<ImpositionGutterCreepX>300</ImpositionGutterCreepX>\n"
              "\t\t<SheetsPerSubset>12</SheetsPerSubset>\n");
}

TEST(TicketDocumentProcessing, CoversOutsideTheTrayMapKeepTheirBlock)
{
    printoptions o = NoOptions(1);
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

TEST(TicketDocumentProcessing, MediaSizes)
{
    printoptions o = NoOptions(1);
    auto media = [&](const char* value) {
        Set(o.features.media, value);
        return CaptureStdout([&] { JTMedia(o); });
    };
    Set(o.ppd.emitPageSizeCommandDefault, "False");
    EXPECT_EQ(media("A4"), "");
    Set(o.ppd.emitPageSizeCommandDefault, "True");
    EXPECT_EQ(media("A4"), "\t\t\t<MediaSizeName>a4</MediaSizeName>\n");
    EXPECT_EQ(media("Tabloid"), "\t\t\t<MediaSizeName>ledger</MediaSizeName>\n");
    EXPECT_EQ(media("DoublePostcard"), "\t\t\t<MediaSizeName>hagaki</MediaSizeName>\n");
    EXPECT_EQ(media("Legal"), "\t\t\t<MediaSizeName>legal</MediaSizeName>\n");
    EXPECT_EQ(media("A4.Transverse"), "");
    EXPECT_EQ(media(""), "");
    EXPECT_EQ(media("Custom.595x842"),
              "\t\t\t<MediaSize>\n\t\t\t\t<XDimension>20990</XDimension>\n"
              "\t\t\t\t<YDimension>29704</YDimension>\n\t\t\t</MediaSize>\n");
    EXPECT_EQ(media("Custom.595"), "\t\t\t<MediaSize>\n\t\t\t</MediaSize>\n");
}

TEST(TicketDocumentProcessing, MediaLocationAndType)
{
    printoptions o = NoOptions(1);
    auto location = [&](const char* slot) {
        Set(o.features.inputSlot, slot);
        return CaptureStdout([&] { JTOutPutMediaLocation(o); });
    };
    EXPECT_EQ(location("3rdTray"), "\t\t\t\t<MediaLocation>Tray3</MediaLocation>\n");
    EXPECT_EQ(location("Auto"), "\t\t\t\t<MediaLocation>AutoSelect</MediaLocation>\n");
    EXPECT_EQ(location("MSI"), "");  // the cover's name for the bypass tray, not the slot's

    auto type = [&](const char* value) {
        Set(o.features.mediaType, value);
        return CaptureStdout([&] { JTOutPutMediaType(o); });
    };
    EXPECT_EQ(type("Stationary"), "\t\t\t<MediaType>stationery</MediaType>\n");
    EXPECT_EQ(type("StationaryBack"), "\t\t\t<MediaKey>Used</MediaKey>\n");
    EXPECT_EQ(type("RecyclePaper"), "\t\t\t<MediaKey>Recycled</MediaKey>\n");
    EXPECT_EQ(type("ThickPaper"), "\t\t\t<MediaKey>Thick1</MediaKey>\n");
    EXPECT_EQ(type("Default"), "");
}

TEST(TicketDocumentProcessing, FinishingsInOrder)
{
    printoptions o = NoOptions(1);
    Set(o.features.staple, "BottomDoublePort");
    Set(o.features.punch, "Top");
    Set(o.features.numPunchHoles, "3Holes");
    Set(o.features.signature, "RightSigFold");
    EXPECT_EQ(CaptureStdout([&] { JTOutPutFinishing(o); }),
              "\t\t<Finishings>\n\t\t\t<Finishing>StapleDualBottom</Finishing>\n"
              "\t\t\t<Finishing>Punch3HoleTop</Finishing>\n\t\t\t<Finishing>BookletFold</Finishing>\n"
              "\t\t\t<Finishing>BindRightPortrait</Finishing>\n\t\t</Finishings>\n");
    Set(o.features.staple, "");
    Set(o.features.punch, "Bottom");
    Set(o.features.numPunchHoles, "4Holes");
    Set(o.features.signature, "None");
    EXPECT_EQ(CaptureStdout([&] { JTOutPutFinishing(o); }),
              "\t\t<Finishings>\n\t\t\t<Finishing>Punch4HoleBottom</Finishing>\n\t\t</Finishings>\n");
    Set(o.features.punch, "None");
    EXPECT_EQ(CaptureStdout([&] { JTOutPutFinishing(o); }), "");
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
            j.options.printType.documentNameType = 2;
            Set(j.options.printType.documentName, std::string(192, '<'));
        },
        [](Job& j) {
            j.options.printType.documentNameType = 1;
            Set(j.names.PTStdDocumentNameForUTF8, std::string(85, '\xE3') + "\"]]><!--");
        },
        [](Job& j) {
            j.options.printType.printType = 2;
            Set(j.options.printType.password, "1</JobPassword><Copies>99");
        },
        [](Job& j) {
            j.options.printType.printType = 4;
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
        job.options.printType.printType = 0;  // any type but normal names the job
        hostile[i](job);
        const std::string ticket = job.Ticket();
        zlk::test::RunResult result = Xmllint(ticket);
        EXPECT_EQ(result.exitCode, 0) << "case " << i << ":\n" << result.err << ticket;
    }
}

TEST(TicketXml, EscapedUserNameReadsBackUnchanged)
{
    Job job;
    job.options.printType.printType = 0;
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
