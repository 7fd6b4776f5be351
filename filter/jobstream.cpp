#include "filter/jobstream.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "common/utf8.h"
#include "filter/hostid.h"
#include "filter/output.h"

namespace zlk::filter {

namespace {

constexpr std::size_t kJobAttrLineMax = 2047;
constexpr std::size_t kCommentLineMax = 254;
constexpr char kSection[] = "PRINTJOBINFO";

// Values sit between double quotes on one line: a quote or a control
// character (other than the TAB that separates a value from its digest)
// would end the attribute early or start a PJL command of its own.
std::string PJLSafe(std::string_view text)
{
    std::string safe;
    safe.reserve(text.size());
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte == 0x7F || c == '"')
            continue;
        safe += c;
    }
    return safe;
}

// What PJLSafe takes out of text, in words for the spooler's log ("a double
// quote and 2 control characters (0x0A, 0x0D)"); empty when it keeps all.
// It names characters, never the text they were taken from.
std::string RemovedByPJLSafe(std::string_view text)
{
    std::size_t quotes = 0, controls = 0;
    std::string codes;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '"') {
            ++quotes;
        } else if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "0x%02X", byte);
            if (codes.find(code) == std::string::npos)
                codes += std::string(codes.empty() ? "" : ", ") + code;
            ++controls;
        }
    }
    std::string removed;
    if (quotes)
        removed = quotes == 1 ? "a double quote" : std::to_string(quotes) + " double quotes";
    if (controls) {
        if (!removed.empty())
            removed += " and ";
        removed +=
            (controls == 1 ? std::string("a control character") : std::to_string(controls) + " control characters") +
            " (" + codes + ")";
    }
    return removed;
}

// The product never changes what the user chose without saying so: when
// PJLSafe has to take something out of a setting's value, the spooler's log
// says which setting lost what. The value itself is never written there.
void WarnIfNotPJLSafe(const char* setting, std::string_view text)
{
    const std::string removed = RemovedByPJLSafe(text);
    if (!removed.empty())
        Report(Severity::Warning,
               "%s reaches the printer without %s: the printer's job header cannot carry double quotes or control "
               "characters.",
               setting, removed.c_str());
}

// PJLSafe for a setting's value, with the warning when it changes it.
std::string PJLSafeSetting(const char* setting, std::string_view text)
{
    WarnIfNotPJLSafe(setting, text);
    return PJLSafe(text);
}

// UTF-8 (or CP932) text converted into at most 254 bytes of CP932.
std::string PrinterLanguageText(const std::string& text)
{
    char converted[255];
    ConvertUTF8ToEncoding(text.c_str(), converted, sizeof converted);
    return converted;
}

void PutLine(const std::string& line) { Utlfwrite(line.data(), 1, line.size(), stdout); }

// One job attribute line, its value shortened so that the line fits; a
// shortened value never ends inside a UTF-8 character. A digest (with its
// TAB) follows the value whole: only the value gives way.
void PutJobAttr(const char* code, const std::string& value, const std::string& digest = {})
{
    const std::string head = std::string("@PJL SET JOBATTR=\"@") + code + "=";
    const std::size_t room = kJobAttrLineMax - head.size() - digest.size() - 2;  // closing quote and LF
    const std::string fitted = value.substr(0, common::Utf8SafeLength(value, room));
    PutLine(head + fitted + digest + "\"\n");
}

void PutComment(const std::string& text)
{
    std::string line = "@PJL COMMENT " + text;
    if (line.size() > kCommentLineMax - 1)
        line.resize(kCommentLineMax - 1);
    PutLine(line + "\n");
}

void PutJobInfo(const char* key, const std::string& value)
{
    PutComment(std::string(kSection) + " " + key + "=" + value);
}

bool IsBlack(const printoptions& options) { return std::strcmp(options.features.colorMode, "Black") == 0; }

std::string NumberUp(const printoptions& options)
{
    return options.features.numberUp[0] ? options.features.numberUp : "1";
}

// A printer-language attribute and its UTF-8 twin carrying the digest of
// the converted bytes.
void PutConvertedPair(const char* code, const char* twinCode, const std::string& text)
{
    const std::string converted = WithoutUnpairedLeadByte(PrinterLanguageText(text));
    PutJobAttr(code, converted);
    // The twin is declared UTF-8: bytes that are not are left out of it.
    PutJobAttr(twinCode, ValidUTF8Only(text), "\t" + Sha256Hex(converted));
}

// A setting's value as the options hold it, made safe for its line (with
// the warning when that changes it); on CP932 printers it never ends in half
// a character.
std::string PrinterValue(const printoptions& options, const char* setting, std::string_view value)
{
    const std::string safe = PJLSafeSetting(setting, value);
    return IsUTF8Printer(options) ? safe : WithoutUnpairedLeadByte(safe);
}

// One row of the owner table.
JobOwnerInfo Owner(std::string user, const char* password, const char* accountId, const char* domain,
                   const char* storageId, const char* storagePassword)
{
    JobOwnerInfo owner{std::move(user), password, accountId, domain, storageId, ""};
    if (!owner.storageId.empty())
        owner.storagePassword = storagePassword;
    return owner;
}

}  // namespace

JobOwnerInfo GetJobOwnerInfo(const printoptions& options)
{
    const stJBAOption& jba = options.jba;
    const ManageType manage = jba.manageType;
    const bool accounted = manage == ManageType::AdminSettings || manage == ManageType::UserSettings;
    // The details are entered at print time, in the input window.
    const bool entered = accounted && jba.userInput == RadioButton::On;
    const std::string sourceUser = jba.userIdSource == UserIdSource::EnteredId   ? jba.userId
                                   : jba.userIdSource == UserIdSource::LoginName ? jba.loginName
                                                                                 : "";
    // One row per case. The admin and input passwords go only with a user,
    // a storage password only with a storage id.
    if (entered && jba.inputStorage != RadioButton::Off)
        return Owner("UnknownUser", "", "", "", jba.inputStorageId, jba.inputStoragePassword);
    if (entered)
        return Owner(jba.inputUserId, jba.inputUserId[0] ? jba.inputPassword : "", jba.inputAccountId,
                     jba.inputDomainName, "", "");
    if (manage == ManageType::UserSettings)
        return Owner(sourceUser, jba.password, jba.accountId, jba.domainName, jba.storageId, jba.storagePassword);
    if (manage == ManageType::AdminSettings)
        return Owner(sourceUser, sourceUser.empty() ? "" : jba.adminPassword, jba.adminAccountId, jba.adminDomainName,
                     jba.adminStorageId, jba.adminStoragePassword);
    return {};
}

void PutJACommand(const char* const* argv, const printoptions& options, const DocumentNames& names,
                  const char* localHostName)
{
    const JobOwnerInfo owner = GetJobOwnerInfo(options);

    const std::string host =
        PJLSafeSetting("The computer name (CNAM)", options.jba.hostName[0] ? options.jba.hostName : localHostName);
    PutConvertedPair("CNAM", "UCNA", host);

    const std::string user = PJLSafeSetting("The user ID (JOAU)", owner.user.empty() ? argv[2] : owner.user);
    PutConvertedPair("JOAU", "UJAU", user);

    if (argv[3] && argv[3][0]) {
        // The document names are prepared without line breaks; a title with
        // one leaves them empty.
        // Both forms are made from the title: one warning for both.
        WarnIfNotPJLSafe("The document name (ACNA)",
                         names.PTStdDocumentNameForUTF8[0] ? names.PTStdDocumentNameForUTF8 : names.PTStdDocumentName);
        const std::string safe = PJLSafe(names.PTStdDocumentName);
        const std::string name = IsUTF8Printer(options) ? safe : WithoutUnpairedLeadByte(safe);
        PutJobAttr("ACNA", name);
        PutJobAttr("UACN", ValidUTF8Only(PJLSafe(names.PTStdDocumentNameForUTF8)), "\t" + Sha256Hex(name));
    }
    if (!owner.domain.empty())
        PutJobAttr("JOAD", PrinterValue(options, "The domain name (JOAD)", owner.domain));
    PutJobAttr("JOEP", owner.password);
    PutJobAttr("DAID", PrinterValue(options, "The account ID (DAID)", owner.accountId));
    if (!owner.storageId.empty()) {
        PutConvertedPair("ACID", "UACI", PJLSafeSetting("The storage ID (ACID)", owner.storageId));
        PutJobAttr("ACEP", owner.storagePassword);
    }
    // The trailer's NUP carries the same value; the warning here covers both.
    PutJobAttr("NLPP", PJLSafeSetting("The number of pages per sheet (NLPP)", NumberUp(options)));
    PutLine(IsBlack(options) ? "@PJL SET RENDERMODE=GRAYSCALE\n" : "@PJL SET RENDERMODE=COLOR\n");
}

int OutputXPJLCommand(const char* const* argv, const printoptions& options, const DocumentNames& names,
                      const char* localHostName)
{
    // The lines every header carries unchanged: the code set of the job
    // attributes (CP932 for UTF-8 printers too), the job mode, and two
    // comments naming the header format's version for the printer.
    PutLine(kUEL);
    PutLine("@PJL SET STRINGCODESET=CP932\n");
    PutLine("@PJL JOB MODE=PRINTER\n");
    PutComment("begin");
    PutComment("Version:4.00");
    PutJACommand(argv, options, names, localHostName);
    PutLine("@PJL ENTER LANGUAGE=PDF\n");
    return 1;
}

void OutputXPJLTrailer(const char* const* argv, const printoptions& options)
{
    const std::string copies = PJLSafe(argv[4]);
    const bool collate = IsCollateOn(options.features.collate);
    const int32_t duplexing = options.features.duplexing;
    PutLine(kUEL);
    // The job-info section's fixed frame: its format version, its start,
    // the document language, and after the facts its end.
    PutComment(std::string(kSection) + " VERSION=1.3.0");
    PutComment(std::string(kSection) + " BEGIN");
    PutComment(std::string(kSection) + " PDLTYPE=PDL[PDF]:VERSION[0]");
    PutJobInfo("PAGECOPIES", collate ? "1" : copies);
    PutJobInfo("JOBCOPIES", collate ? copies : "1");
    PutJobInfo("DUPLEXTYPE", duplexing == kTwoSidedShortEdge  ? "TUMBLE"
                             : duplexing == kTwoSidedLongEdge ? "DUPLEX"
                                                              : "SIMPLEX");
    PutJobInfo("COLORMODE", IsBlack(options) ? "GRAYSCALE" : "COLOR");
    PutJobInfo("NUP", PJLSafe(NumberUp(options)));
    PutComment(std::string(kSection) + " PASSTHROUGH=OFF");
    PutComment(std::string(kSection) + " END");
    PutLine("@PJL EOJ\n");
}

}  // namespace zlk::filter
