// The job stream inspector on streams the filter program writes: real
// streams pass and are described; each kind of damage is rejected with its
// own reason; no input crashes it.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "opensslcli.h"
#include "process.h"
#include "secblob/secblob.h"
#include "spooler.h"
#include "tools/inspect/inspect.h"

using namespace zlk::test;
using zlk::inspect::Inspect;
using zlk::inspect::Inspection;
using zlk::inspect::PrinterKey;

namespace {

const std::string kTicket = "com.zelko.jt.printsettings.pdf.ww.";
const std::string kUEL = "\x1b%-12345X";

std::string AccountingOptions(const std::string& password, const std::string& boxPassword)
{
    return kTicket + "JBAManageTypeListTicketKey=2 " + kTicket + "JBAUserIDListCtrlTicket=2 " + kTicket +
           "JBAUserIDTextEditTicket=someone " + kTicket + "JBAUserPasswordTextEditTicket=" + StoredPassword(password) +
           " " + kTicket + "JBAStorageIDTextEditTicket=box3 " + kTicket +
           "JBAStoragePasswordTextEditTicket=" + StoredPassword(boxPassword);
}

struct Job {
    std::string options;
    std::string title = "Quarterly report";
    std::string copies = "1";
    std::string ppd = "ppd/cp932.ppd";
    std::string user = "alice";
};

std::string FilterStream(const Job& job)
{
    SpoolerRun spooler;
    RunResult result = spooler.RunJob(job);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result.out;
}

// Streams made once for the whole program.
const std::string& PlainStream()
{
    static const std::string stream = FilterStream({});
    return stream;
}

const std::string& PasswordStream()
{
    static const std::string stream = FilterStream({AccountingOptions("s3cret-pw", "box-pw")});
    return stream;
}

const PrinterKey& DevKey()
{
    static const PrinterKey key = [] {
        std::string error;
        auto loaded = PrinterKey::Load(FixturePath("keys/printer-dev-private.pem"), error);
        EXPECT_TRUE(loaded.has_value()) << error;
        return loaded.value_or(PrinterKey{});
    }();
    return key;
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

// The value of a job attribute line.
std::string AttributeValue(const std::string& stream, const std::string& code)
{
    const std::string head = "@PJL SET JOBATTR=\"@" + code + "=";
    const std::size_t at = stream.find(head);
    if (at == std::string::npos)
        return {};
    const std::size_t end = stream.find("\"\n", at + head.size());
    return stream.substr(at + head.size(), end - at - head.size());
}

std::vector<std::string> Codes(const Inspection& inspection)
{
    std::vector<std::string> codes;
    for (const auto& attribute : inspection.attributes)
        codes.push_back(attribute.code);
    return codes;
}

}  // namespace

TEST(InspectFilterStreams, PlainStreamPassesAndIsDescribed)
{
    const Inspection inspection = Inspect(PlainStream());
    ASSERT_TRUE(inspection.valid) << inspection.violation;
    EXPECT_EQ(Codes(inspection),
              (std::vector<std::string>{"CNAM", "UCNA", "JOAU", "UJAU", "ACNA", "UACN", "JOEP", "DAID", "NLPP"}));
    EXPECT_TRUE(inspection.Attribute("UJAU")->digestChecked);
    EXPECT_EQ(inspection.Attribute("UJAU")->text, "alice");
    ASSERT_EQ(inspection.pages.size(), 2u);
    EXPECT_DOUBLE_EQ(inspection.pages[0].width, 612);
    EXPECT_DOUBLE_EQ(inspection.pages[0].height, 792);

    const std::string report = zlk::inspect::Report(inspection, "job.prn");
    for (const char* expected : {"Job stream job.prn: ", "  JOAU: alice\n", "  UJAU: alice  (digest ok)\n",
                                 "  UACN: Quarterly report  (digest ok)\n", "  JOEP: (empty)\n", "  NLPP: 1\n",
                                 "  RENDERMODE: COLOR\n", "  PwgPrintJobTicket\n", "      ContentsBridgeMode = 5\n",
                                 "        MediaLocations\n          MediaLocation = AutoSelect\n", "2 pages",
                                 "  page 1: 612 x 792 pt (215.9 x 279.4 mm)\n", "  page copies: 1\n",
                                 "  duplex: SIMPLEX\n", "  colour: COLOR\n", "  N-up: 1\n"})
        EXPECT_NE(report.find(expected), std::string::npos) << expected << "\n" << report;
}

TEST(InspectFilterStreams, EveryKindOfJobPassesWithItsFacts)
{
    struct Case {
        Job job;
        std::function<void(const Inspection&)> check;
    };
    const std::vector<Case> cases = {
        {{"ZLKColorMode=Black Collate=true", "Quarterly report", "3"},
         [](const Inspection& i) {
             EXPECT_EQ(i.renderMode, "GRAYSCALE");
             EXPECT_EQ(i.colorMode, "GRAYSCALE");
             EXPECT_EQ(i.pageCopies, "1");
             EXPECT_EQ(i.jobCopies, "3");
         }},
        {{"media=Custom.612x792 sides=two-sided-short-edge number-up=4"},
         [](const Inspection& i) {
             EXPECT_EQ(i.duplex, "TUMBLE");
             EXPECT_EQ(i.numberUp, "N4");
             EXPECT_EQ(i.Attribute("NLPP")->value, "N4");
         }},
        {{kTicket + "JBAManageTypeListTicketKey=2 " + kTicket + "JBAUserIDListCtrlTicket=2 " + kTicket +
              "JBAUserIDTextEditTicket=\xE5\xB1\xB1\xE7\x94\xB0 " + kTicket + "PrintTypeProductTypeTicketKey=5",
          "\xE8\xAB\x8B\xE6\xB1\x82\xE6\x9B\xB8 2024", "1", "ppd/utf8.ppd"},
         [](const Inspection& i) {
             // JOAU travels in CP932 and reads back as the twin's text.
             EXPECT_EQ(i.Attribute("JOAU")->value, "\x8E\x52\x93\x63");
             EXPECT_EQ(i.Attribute("JOAU")->text, "\xE5\xB1\xB1\xE7\x94\xB0");
             EXPECT_EQ(i.Attribute("ACNA")->text, "\xE8\xAB\x8B\xE6\xB1\x82\xE6\x9B\xB8 2024");
         }},
        {{"ZLKSignature=LeftSigCenterStaple ZLKSigVol=5Sheets ZLKIntCoverSheet=MSI", ""},
         [](const Inspection& i) {
             EXPECT_EQ(i.Attribute("ACNA"), nullptr);
             std::vector<std::string> finishing;
             for (const auto& e : i.ticket)
                 if (e.path == "PwgPrintJobTicket/DocumentProcessing/Finishings/Finishing")
                     finishing.push_back(e.value);
             EXPECT_EQ(finishing, (std::vector<std::string>{"BookletMaker", "BindLeftPortrait"}));
         }},
        {{kTicket + "PrintTypeTicketKey=2 " + kTicket + "PrintTypeUserNameTicketKey=a<b&c " + kTicket +
          "PrintTypePasswordTicketKey=1234"},
         [](const Inspection& i) {
             bool found = false;
             for (const auto& e : i.ticket)
                 found |= e.path == "PwgPrintJobTicket/JobDescription/RequestingUserName" && e.value == "a<b&c";
             EXPECT_TRUE(found) << "escaped names read back as written";
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.job.options);
        const Inspection inspection = Inspect(FilterStream(c.job));
        ASSERT_TRUE(inspection.valid) << inspection.violation;
        c.check(inspection);
    }
}

TEST(InspectFilterStreams, PasswordsShowAsBlobsOrOpenWithThePrinterKey)
{
    const Inspection sealed = Inspect(PasswordStream());
    ASSERT_TRUE(sealed.valid) << sealed.violation;
    EXPECT_EQ(Codes(sealed), (std::vector<std::string>{"CNAM", "UCNA", "JOAU", "UJAU", "ACNA", "UACN", "JOEP", "DAID",
                                                       "ACID", "UACI", "ACEP", "NLPP"}));
    const std::string sealedReport = zlk::inspect::Report(sealed, "job");
    EXPECT_NE(sealedReport.find("  JOEP: printer blob (368 bytes)\n"), std::string::npos) << sealedReport;
    EXPECT_NE(sealedReport.find("  ACEP: printer blob (368 bytes)\n"), std::string::npos) << sealedReport;
    EXPECT_EQ(sealedReport.find("s3cret-pw"), std::string::npos);

    const Inspection opened = Inspect(PasswordStream(), &DevKey());
    ASSERT_TRUE(opened.valid) << opened.violation;
    const std::string report = zlk::inspect::Report(opened, "job");
    EXPECT_NE(report.find("  JOEP: s3cret-pw\n"), std::string::npos) << report;
    EXPECT_NE(report.find("  ACEP: box-pw\n"), std::string::npos) << report;
}

TEST(InspectFilterStreams, BlobThatDoesNotOpenWithTheKeyIsRejected)
{
    // A key of the right size that is not the printer's.
    TempDir dir;
    RunOptions run;
    run.args = {
        "openssl", "genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out", dir.file("other.pem")};
    run.env = {{"PATH", "/usr/bin:/bin"}};
    ASSERT_EQ(RunProgram(ZLK_OPENSSL_CLI, run).exitCode, 0);
    std::string error;
    auto other = PrinterKey::Load(dir.file("other.pem"), error);
    ASSERT_TRUE(other.has_value()) << error;
    Inspection inspection = Inspect(PasswordStream(), &*other);
    EXPECT_FALSE(inspection.valid);
    EXPECT_NE(inspection.violation.find("JOEP does not open with the given key"), std::string::npos)
        << inspection.violation;

    // The printer's key, but the wrapped secret damaged.
    const std::string joep = AttributeValue(PasswordStream(), "JOEP");
    auto blob = zlk::secblob::SecBlobEnc_Base64_Decode_Data(joep.c_str());
    ASSERT_TRUE(blob.has_value());
    (*blob)[100] ^= 0x01;
    auto text = zlk::secblob::SecBlobEnc_Base64_Encode_Data(blob->data(), blob->size());
    ASSERT_TRUE(text.has_value());
    const std::string damaged = Replace(PasswordStream(), joep, std::string(text->begin(), text->end()));
    inspection = Inspect(damaged, &DevKey());
    EXPECT_FALSE(inspection.valid);
    EXPECT_NE(inspection.violation.find("JOEP does not open with the given key"), std::string::npos)
        << inspection.violation;
    // Without a key only the layout is judged, and it still holds.
    EXPECT_TRUE(Inspect(damaged).valid);
}

namespace {

// A change to a good stream.
using Edit = std::function<std::string(const std::string&)>;

struct Damage {
    std::string name;
    Edit apply;
    std::string reason;  // the violation must say this
    bool passwords = false;
};

// Keeps the stream up to delta bytes after the first marker.
Edit CutAt(std::string marker, std::ptrdiff_t delta = 0)
{
    return [marker, delta](const std::string& s) {
        const std::size_t at = s.find(marker);
        EXPECT_NE(at, std::string::npos) << marker;
        return s.substr(0, static_cast<std::size_t>(static_cast<std::ptrdiff_t>(at) + delta));
    };
}

Edit ReplaceFirst(std::string from, std::string to)
{
    return [from, to](const std::string& s) { return Replace(s, from, to); };
}

// Changes one hex digit of the digest a twin attribute carries.
Edit FlipDigestDigit(std::string code)
{
    return [code](const std::string& s) {
        std::string damaged = s;
        const std::size_t tab = damaged.find('\t', damaged.find("@" + code + "="));
        char& digit = damaged[tab + 10];
        digit = digit == 'A' ? 'B' : 'A';
        return damaged;
    };
}

void PrintTo(const Damage& damage, std::ostream* os) { *os << damage.name; }

class InspectDamage : public testing::TestWithParam<Damage> {};

}  // namespace

TEST_P(InspectDamage, IsRejectedWithItsReason)
{
    const Damage& damage = GetParam();
    const std::string& good = damage.passwords ? PasswordStream() : PlainStream();
    const Inspection inspection = Inspect(damage.apply(good), &DevKey());
    EXPECT_FALSE(inspection.valid);
    EXPECT_NE(inspection.violation.find(damage.reason), std::string::npos) << inspection.violation;
}

INSTANTIATE_TEST_SUITE_P(
    Streams, InspectDamage,
    testing::Values(
        Damage{"empty", [](const std::string&) { return std::string(); }, "the stream is empty"},
        Damage{"cut_in_uel", [](const std::string& s) { return s.substr(0, 4); }, "ends early inside the UEL"},
        Damage{"cut_in_header_line", CutAt("@JOAU=", 3),
               "stream ends early in the PJL header inside the line \"@PJL SET JOBATTR=\"@JO\" at line 7"},
        Damage{"cut_between_header_lines", CutAt("@PJL SET RENDERMODE"),
               "stream ends early in the PJL header: expected \"@PJL SET RENDERMODE=...\""},
        Damage{"cut_in_ticket", CutAt("<Copies>", 4),
               "stream ends early in the job ticket: the ticket ends with <DocumentProcessing> (from byte "},
        Damage{"cut_after_ticket", CutAt("%PDF-"), "stream ends early: expected the PDF"},
        Damage{"cut_in_pdf", CutAt("%%EOF"), "stream ends early in the PDF: no trailer UEL"},
        Damage{"cut_before_eoj", CutAt("@PJL EOJ"), "stream ends early in the trailer: expected \"@PJL EOJ\""},
        Damage{"wrong_uel", [](const std::string& s) { return "\x1b%-12346X" + s.substr(kUEL.size()); },
               "no UEL (ESC %-12345X) at byte 0"},
        Damage{"unclosed_tag", ReplaceFirst("1</Copies>", "1"),
               "job ticket is not well-formed: end tag </DocumentProcessing> does not match the open <Copies>"},
        Damage{"bad_entity", ReplaceFirst(">1</Copies>", ">&one;</Copies>"),
               "job ticket is not well-formed: unknown entity \"&one;\""},
        Damage{"bare_ampersand", ReplaceFirst(">1</Copies>", ">1 & 2</Copies>"), "\"&\" that starts no reference"},
        Damage{"mismatched_tag", ReplaceFirst("</Copies>", "</Copy>"),
               "end tag </Copy> does not match the open <Copies>"},
        Damage{"attribute_in_ticket", ReplaceFirst("<Copies>", "<Copies n=\"1\">"),
               "element <Copies> has an attribute"},
        Damage{"deep_nesting",
               [](const std::string& s) {
                   std::string deep;
                   for (int i = 0; i < 40; ++i)
                       deep += "<N>\n";
                   return Replace(s, "<JobProcessing>\n", "<JobProcessing>\n" + deep);
               },
               "elements nested deeper than 32 levels"},
        Damage{"control_character_in_ticket", ReplaceFirst(">Normal<", ">Nor\x01mal<"),
               "control character 0x01 in the ticket"},
        Damage{"invalid_utf8_in_ticket", ReplaceFirst(">Normal<", ">Nor\xC3mal<"),
               "byte 0xC3 in the ticket is not UTF-8"},
        Damage{"long_ticket_line", ReplaceFirst(">5</Contents", ">" + std::string(250, '5') + "</Contents"),
               "line of 294 bytes; at most 254 are allowed at line 19"},
        Damage{"ticket_colour_disagrees",
               ReplaceFirst(">Color</ColorEffectsType>", ">MonochromeGrayscale</ColorEffectsType>"),
               "ticket ColorEffectsType \"MonochromeGrayscale\" disagrees with the header's RENDERMODE=COLOR"},
        Damage{"missing_eoj", ReplaceFirst("@PJL EOJ\n", ""), "expected \"@PJL EOJ\""},
        Damage{"bad_digest", FlipDigestDigit("UJAU"),
               "UJAU digest does not match the SHA-256 of the JOAU bytes at line 8"},
        Damage{"lower_case_digest",
               [](const std::string& s) {
                   std::string d = s;
                   const std::size_t tab = d.find('\t', d.find("@UCNA="));
                   for (std::size_t i = tab + 1; i < tab + 65; ++i)
                       d[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(d[i])));
                   return d;
               },
               "UCNA must be its text, a TAB and 64 upper-case hex digits"},
        Damage{"cr_in_header", ReplaceFirst("MODE=PRINTER\n", "MODE=PRINTER\r\n"),
               "carriage return (CR) in the PJL header; lines end with LF only at line 2"},
        Damage{"cr_in_ticket", ReplaceFirst("<PwgPrintJobTicket>\n", "<PwgPrintJobTicket>\r\n"),
               "carriage return (CR) in the job ticket"},
        Damage{"cr_in_trailer", ReplaceFirst("BEGIN\n", "BEGIN\r\n"), "carriage return (CR) in the trailer"},
        Damage{"render_and_colour_modes_disagree", ReplaceFirst("COLORMODE=COLOR", "COLORMODE=GRAYSCALE"),
               "trailer COLORMODE=GRAYSCALE disagrees with the header's RENDERMODE=COLOR"},
        Damage{"nlpp_and_nup_disagree", ReplaceFirst("NUP=1", "NUP=2"),
               "trailer NUP=2 disagrees with the header's NLPP=1"},
        Damage{"copies_disagree", ReplaceFirst("JOBCOPIES=1", "JOBCOPIES=2"),
               "the trailer's 2 copies disagree with the ticket's Copies \"1\""},
        Damage{"unknown_duplex", ReplaceFirst("DUPLEXTYPE=SIMPLEX", "DUPLEXTYPE=BOOK"),
               "DUPLEXTYPE \"BOOK\" is not SIMPLEX, DUPLEX or TUMBLE"},
        Damage{"bytes_after_eoj", [](const std::string& s) { return s + "junk"; },
               "4 bytes follow \"@PJL EOJ\"; the stream ends there"},
        Damage{"bytes_before_pdf", ReplaceFirst("%PDF-", "\n%PDF-"),
               "expected the PDF (\"%PDF-\") right after the job ticket"},
        Damage{"attributes_out_of_order",
               [](const std::string& s) {
                   const std::string joep = "@PJL SET JOBATTR=\"@JOEP=\"\n", daid = "@PJL SET JOBATTR=\"@DAID=\"\n";
                   return Replace(s, joep + daid, daid + joep);
               },
               "expected job attribute JOEP, found job attribute DAID at line 11"},
        Damage{"quote_in_attribute_value", ReplaceFirst("@DAID=\"", "@DAID=a\"b\""), "DAID value holds the byte 0x22"},
        Damage{"long_attribute_line", ReplaceFirst("@DAID=\"", "@DAID=" + std::string(2100, 'x') + "\""),
               "line of 2126 bytes in the PJL header; at most 2047 are allowed"},
        Damage{"unknown_render_mode", ReplaceFirst("RENDERMODE=COLOR", "RENDERMODE=SEPIA"),
               "expected \"@PJL SET RENDERMODE=COLOR|GRAYSCALE\""},
        Damage{"pdf_without_structure",
               [](const std::string& s) {
                   const std::size_t pdf = s.find("%PDF-"), trailer = s.rfind(kUEL);
                   return s.substr(0, pdf) + "%PDF-1.7\nnot a document\n" + s.substr(trailer);
               },
               "the PDF does not open"},
        Damage{"joep_not_base64", ReplaceFirst("@JOEP=", "@JOEP=*"), "JOEP is not Base64 text", true},
        Damage{"joep_cut_short",
               [](const std::string& s) {
                   const std::string joep = AttributeValue(s, "JOEP");
                   return Replace(s, joep, joep.substr(0, joep.size() - 8));
               },
               "JOEP blob says it is 368 bytes long but holds 363", true},
        Damage{"acep_digest_of_storage_id", FlipDigestDigit("UACI"),
               "UACI digest does not match the SHA-256 of the ACID bytes", true}),
    [](const testing::TestParamInfo<Damage>& info) { return info.param.name; });

TEST(InspectRobustness, EveryCutOfAGoodStreamEndsEarly)
{
    const std::string& good = PlainStream();
    for (std::size_t cut = 1; cut < good.size(); ++cut) {
        const Inspection inspection = Inspect(std::string_view(good).substr(0, cut));
        ASSERT_FALSE(inspection.valid) << "cut at " << cut;
        ASSERT_NE(inspection.violation.find("ends early"), std::string::npos)
            << "cut at " << cut << ": " << inspection.violation;
    }
}

TEST(InspectRobustness, GarbageAndMutatedStreamsNeverCrash)
{
    std::mt19937 random(20240611);
    auto byte = [&] { return static_cast<char>(random() & 0xFF); };
    std::size_t validMutants = 0;
    for (int round = 0; round < 300; ++round) {
        // Random bytes, some behind a correct start so the parser goes deeper.
        std::string garbage(random() % 600, '\0');
        for (char& c : garbage)
            c = byte();
        if (round % 3 == 0)
            garbage = PlainStream().substr(0, random() % PlainStream().size()) + garbage;
        Inspection inspection = Inspect(garbage, &DevKey());
        EXPECT_TRUE(inspection.valid || !inspection.violation.empty());

        // A good stream with a few bytes changed, dropped or repeated.
        std::string mutant = round % 2 ? PasswordStream() : PlainStream();
        for (int edits = 1 + static_cast<int>(random() % 4); edits > 0; --edits) {
            const std::size_t at = random() % mutant.size();
            switch (random() % 3) {
            case 0: mutant[at] = byte(); break;
            case 1: mutant.erase(at, 1 + random() % 8); break;
            default: mutant.insert(at, mutant.substr(at, 1 + random() % 8)); break;
            }
        }
        inspection = Inspect(mutant, &DevKey());
        EXPECT_TRUE(inspection.valid || !inspection.violation.empty());
        if (inspection.valid) {
            ++validMutants;
            EXPECT_FALSE(zlk::inspect::Report(inspection, "mutant").empty());
        }
    }
    // Most edits land in the PDF body or the attributes and must be caught.
    EXPECT_LT(validMutants, 150u);
}

TEST(InspectProgram, ExitStatusSaysValidInvalidOrUnusable)
{
    TempDir dir;
    WriteFile(dir.file("good.prn"), PasswordStream());
    WriteFile(dir.file("bad.prn"), PasswordStream() + "x");
    auto inspect = [&](std::vector<std::string> args, const std::string& stdinPath = "/dev/null") {
        RunOptions run;
        run.args = {"zlk-inspect"};
        run.args.insert(run.args.end(), args.begin(), args.end());
        run.env = {{"PATH", "/usr/bin:/bin"}};
        run.stdinPath = stdinPath;
        return RunProgram(ZLK_INSPECT_BINARY, run);
    };

    RunResult good = inspect({"--key", FixturePath("keys/printer-dev-private.pem"), dir.file("good.prn")});
    EXPECT_EQ(good.exitCode, 0) << good.err;
    EXPECT_NE(good.out.find("  JOEP: s3cret-pw\n"), std::string::npos) << good.out;
    EXPECT_EQ(good.err, "");

    RunResult fromStdin = inspect({"--quiet", "-"}, dir.file("good.prn"));
    EXPECT_EQ(fromStdin.exitCode, 0) << fromStdin.err;
    EXPECT_EQ(fromStdin.out, "");

    RunResult bad = inspect({dir.file("bad.prn")});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(bad.err.rfind("zlk-inspect: " + dir.file("bad.prn") + ": invalid job stream: 1 bytes follow", 0), 0u)
        << bad.err;

    for (const auto& args :
         std::vector<std::vector<std::string>>{{},
                                               {"--bogus", dir.file("good.prn")},
                                               {dir.file("good.prn"), dir.file("bad.prn")},
                                               {"--key"},
                                               {dir.file("missing.prn")},
                                               {dir.path()},
                                               {"--key", dir.file("good.prn"), dir.file("good.prn")}}) {
        RunResult unusable = inspect(args);
        EXPECT_EQ(unusable.exitCode, 2) << testing::PrintToString(args) << unusable.err;
        EXPECT_NE(unusable.err, "");
    }
}
