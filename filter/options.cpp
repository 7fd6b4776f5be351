#include "filter/options.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <strings.h>

#include "common/joinedtext.h"
#include "common/ppdfile.h"
#include "common/utf8.h"
#include "filter/output.h"
#include "filter/sealing.h"
#include "secblob/secblob.h"

namespace zlk::filter {

namespace {

// ---- Ticket keys -----------------------------------------------------------

// kTicketKeyPrefix followed by Name, spelled whole at compile time, so that
// the tables below hold plain pointers and the prefix is written once.
template <common::FixedText Name>
inline constexpr const char* kTicketKey = common::kJoinedText<kTicketKeyPrefix, Name>.data();

// Keys of the platform's print settings, named whole.
constexpr char kDuplexingKey[] = "com.apple.print.PrintSettings.PMDuplexing..n.";
constexpr char kLayoutRowsKey[] = "com.apple.print.PrintSettings.PMLayoutRows..n.";
constexpr char kLayoutColumnsKey[] = "com.apple.print.PrintSettings.PMLayoutColumns..n.";

// ---- Readers -----------------------------------------------------------------

// Length of the longest prefix of text[0..limit) that ends on a UTF-8
// character boundary, or limit when text is not UTF-8 (then bytes are bytes).
std::size_t Utf8SafeCut(std::string_view text, std::size_t limit)
{
    if (text.size() <= limit)
        return text.size();
    for (std::size_t i = 0; i < limit;) {
        std::size_t n = common::Utf8CharLength(text, i);
        if (n == 0)
            return limit;
        if (i + n > limit)
            return i;
        i += n;
    }
    return limit;
}

// The value's first 1023 bytes, slash-decimal decoded.
std::string DecodedValue(const char* value)
{
    char buffer[1024] = {};
    std::strncpy(buffer, value, sizeof buffer - 1);
    numstrtochar(buffer, sizeof buffer);
    return buffer;
}

void CopyField(const std::string& text, void* dest, std::size_t width)
{
    auto* out = static_cast<char*>(dest);
    std::size_t n = Utf8SafeCut(text, width - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

// A reader converts one option value into its field and answers whether the
// key was there. A missing key leaves the reader's default (-1 for
// integers, empty text otherwise).
using TicketReader = bool (*)(const char* key, int numOptions, cups_option_t* options, void* dest, std::size_t width);

bool GetTicketInteger(const char* key, int numOptions, cups_option_t* options, void* dest, std::size_t)
{
    const char* value = cupsGetOption(key, numOptions, options);
    int32_t number = value ? static_cast<int32_t>(std::atoi(value)) : -1;
    std::memcpy(dest, &number, sizeof number);
    return value != nullptr;
}

bool GetTicketStringConvertedToPrtLang(const char* key, int numOptions, cups_option_t* options, void* dest,
                                       std::size_t width)
{
    static_cast<char*>(dest)[0] = '\0';
    const char* value = cupsGetOption(key, numOptions, options);
    if (!value)
        return false;
    CopyField(DecodedValue(value), dest, width);
    return true;
}

bool GetTicketStringConvertedToPrtLangForUTF8(const char* key, int numOptions, cups_option_t* options, void* dest,
                                              std::size_t width)
{
    auto* out = static_cast<char*>(dest);
    out[0] = '\0';
    const char* value = cupsGetOption(key, numOptions, options);
    if (!value)
        return false;
    ConvertUTF8ToEncodingForUTF8(DecodedValue(value).c_str(), out, width);
    return true;
}

// A "number-up" of exactly 1, which the scheduler adds to every job.
bool IsOneUp(const char* value)
{
    char* end = nullptr;
    errno = 0;
    long number = std::strtol(value, &end, 10);
    return end != value && *end == '\0' && errno == 0 && number == 1;
}

// A row or column count of the layout keys: 1 when missing, 0 when not a
// number that fits.
long long LayoutCount(const char* text)
{
    if (!text)
        return 1;
    char* end = nullptr;
    errno = 0;
    const long long count = std::strtoll(text, &end, 10);
    return end == text || errno == ERANGE ? 0 : count;
}

// Always fills the field, from "number-up" or else from the layout keys; it
// answers true for the tables' common reader form. A "number-up" of 1 is
// the scheduler's default rather than a choice: it defers to the layout
// keys, so a one-up job says "1" as it does without a scheduler.
bool GetNumberUpTicketString(const char* key, int numOptions, cups_option_t* options, void* dest, std::size_t width)
{
    std::string text;
    const char* value = cupsGetOption(key, numOptions, options);
    if (value && !IsOneUp(value)) {
        text = "N" + std::string(value).substr(0, 1022);
    } else {
        // A missing row or column count counts as 1; a layout of more pages
        // than an int counts, or of counts no integer holds, is none at all.
        const long long rows = LayoutCount(cupsGetOption(kLayoutRowsKey, numOptions, options));
        const long long columns = LayoutCount(cupsGetOption(kLayoutColumnsKey, numOptions, options));
        long long product = 0;
        if (__builtin_mul_overflow(rows, columns, &product) || product > INT32_MAX)
            product = 1;
        text = product <= 1 ? std::string("1") : "N" + std::to_string(product);
    }
    ConvertUTF8ToEncoding(text.c_str(), static_cast<char*>(dest), width);
    return true;
}

// ---- Reader tables -------------------------------------------------------------

struct TicketData {
    const char* key;  // whole key: the ticket prefix is already applied
    std::size_t offset;  // of the field within printoptions
    std::size_t width;  // bytes, 4 for integers
    TicketReader reader;
};

#define ZLK_FIELD(member) offsetof(printoptions, member), sizeof(printoptions::member)

constexpr TicketReader kInteger = GetTicketInteger;
constexpr TicketReader kText = GetTicketStringConvertedToPrtLang;
constexpr TicketReader kUtf8Text = GetTicketStringConvertedToPrtLangForUTF8;
constexpr TicketReader kPassword = GetTicketPasswordStringConvertedToEncryption;

// Each table comes in two variants that differ only in the reader of the
// user-typed texts: utf8Reader is the plain string reader for CP932 printers
// and the UTF-8 reader for UTF-8 printers.

constexpr std::array<TicketData, 6> PrintTypeRows(TicketReader utf8Reader)
{
    return {{
        {kTicketKey<"PrintTypeTicketKey">, ZLK_FIELD(printType.printType), kInteger},
        {kTicketKey<"PrintTypeUserNameTicketKey">, ZLK_FIELD(printType.userName), utf8Reader},
        {kTicketKey<"PrintTypePasswordTicketKey">, ZLK_FIELD(printType.password), kText},
        {kTicketKey<"DocumentNameTypeTicketKey">, ZLK_FIELD(printType.documentNameType), kInteger},
        {kTicketKey<"DocumentNameTicketKey">, ZLK_FIELD(printType.documentName), utf8Reader},
        {kTicketKey<"DelayPrintTicketKey">, ZLK_FIELD(printType.delayPrintTime), kText},
    }};
}

// Keys that the dialogs write but no output reads (the IP address, the
// admin user id and input radio, the input authentication radio) are not
// stored.
constexpr std::array<TicketData, 18> JBACommonRows(TicketReader utf8Reader)
{
    return {{
        {kTicketKey<"JBAMacHostNameStringTicket">, ZLK_FIELD(jba.hostName), kText},
        {kTicketKey<"JBAManageTypeListTicketKey">, ZLK_FIELD(jba.manageType), kInteger},
        {kTicketKey<"JBAUserIDListCtrlTicket">, ZLK_FIELD(jba.userIdSource), kInteger},
        {kTicketKey<"JBAUserIDTextEditTicket">, ZLK_FIELD(jba.userId), utf8Reader},
        {kTicketKey<"JBADomainNameTextEditTicket">, ZLK_FIELD(jba.domainName), kText},
        {kTicketKey<"JBAUserPasswordTextEditTicket">, ZLK_FIELD(jba.password), kPassword},
        {kTicketKey<"JBAAccountIDTextEditTicket">, ZLK_FIELD(jba.accountId), kText},
        {kTicketKey<"JBAStorageIDTextEditTicket">, ZLK_FIELD(jba.storageId), utf8Reader},
        {kTicketKey<"JBAStoragePasswordTextEditTicket">, ZLK_FIELD(jba.storagePassword), kPassword},
        {kTicketKey<"JBAUserInputRadioBtnTicket">, ZLK_FIELD(jba.userInput), kInteger},
        {kTicketKey<"JBAInputStrgRadioBtnTicketKey">, ZLK_FIELD(jba.inputStorage), kInteger},
        {kTicketKey<"JBAInputStorageIDTextEditTicket">, ZLK_FIELD(jba.inputStorageId), utf8Reader},
        {kTicketKey<"JBAInputStoragePasswordTextEditTicket">, ZLK_FIELD(jba.inputStoragePassword), kPassword},
        {kTicketKey<"JBAInputUserIDTextEditTicket">, ZLK_FIELD(jba.inputUserId), utf8Reader},
        {kTicketKey<"JBAInputDomainNameTextEditTicket">, ZLK_FIELD(jba.inputDomainName), kText},
        {kTicketKey<"JBAInputUserPasswordTextEditTicket">, ZLK_FIELD(jba.inputPassword), kPassword},
        {kTicketKey<"JBAInputAccountIDTextEditTicket">, ZLK_FIELD(jba.inputAccountId), kText},
        {kTicketKey<"JBALoginTextEditTicket">, ZLK_FIELD(jba.loginName), kText},
    }};
}

constexpr std::array<TicketData, 5> JBAAdminRows(TicketReader utf8Reader)
{
    return {{
        {kTicketKey<"JBAAdminDomainNameTextEditTicket">, ZLK_FIELD(jba.adminDomainName), kText},
        {kTicketKey<"JBAAdminUserPasswordTextEditTicket">, ZLK_FIELD(jba.adminPassword), kPassword},
        {kTicketKey<"JBAAdminAccountIDTextEditTicket">, ZLK_FIELD(jba.adminAccountId), kText},
        {kTicketKey<"JBAAdminStorageIDTextEditTicket">, ZLK_FIELD(jba.adminStorageId), utf8Reader},
        {kTicketKey<"JBAAdminStoragePasswordTextEditTicket">, ZLK_FIELD(jba.adminStoragePassword), kPassword},
    }};
}

const auto PrintTypeticketData = PrintTypeRows(kText);
const auto PrintTypeticketDataForUTF8 = PrintTypeRows(kUtf8Text);
const auto JBAticketDataCommon = JBACommonRows(kText);
const auto JBAticketDataCommonForUTF8 = JBACommonRows(kUtf8Text);
const auto JBAticketDataAdmin = JBAAdminRows(kText);
const auto JBAticketDataAdminForUTF8 = JBAAdminRows(kUtf8Text);

const TicketData FeaturesticketData[] = {
    {"number-up", ZLK_FIELD(features.numberUp), GetNumberUpTicketString},
    {"Collate", ZLK_FIELD(features.collate), kText},
    {"media", ZLK_FIELD(features.media), kText},
    {"InputSlot", ZLK_FIELD(features.inputSlot), kText},
    {"MediaType", ZLK_FIELD(features.mediaType), kText},
    {"ZLKColorMode", ZLK_FIELD(features.colorMode), kText},
    {"ZLKOutputMode", ZLK_FIELD(features.outputMode), kText},
    {"ZLKStaple", ZLK_FIELD(features.staple), kText},
    {"ZLKPunch", ZLK_FIELD(features.punch), kText},
    {"ZLKNumPunchHoles", ZLK_FIELD(features.numPunchHoles), kText},
    {"Jog", ZLK_FIELD(features.jog), kText},
    {"ZLKIntCoverSheet", ZLK_FIELD(features.intCoverSheet), kText},
    {"ZLKIntBackCoverSheet", ZLK_FIELD(features.intBackCoverSheet), kText},
    {"ZLKSignature", ZLK_FIELD(features.signature), kText},
    {"ZLKSigVol", ZLK_FIELD(features.sigVol), kText},
    {kDuplexingKey, ZLK_FIELD(features.duplexing), kInteger},
    {kTicketKey<"BookletMarginSwitchTicket">, ZLK_FIELD(features.bookletMarginSwitch), kText},
    {kTicketKey<"BookletMarginMMShiftTicket">, ZLK_FIELD(features.bookletMarginShift), kText},
};

#undef ZLK_FIELD

// Runs every reader of table over the parsed job options into record.
void GetTicketFromArray(const JobOptions& options, std::span<const TicketData> table, printoptions& record)
{
    auto* base = reinterpret_cast<unsigned char*>(&record);
    for (const TicketData& row : table)
        row.reader(row.key, options.count(), options.options(), base + row.offset, row.width);
}

// The standard CUPS options that stand in for the platform's duplexing key
// on this platform, in the order they are asked.
struct DuplexingChoice {
    const char* option;
    const char* value;
    Duplexing duplexing;
};

constexpr DuplexingChoice kDuplexingChoices[] = {
    {"sides", "one-sided", kOneSided},
    {"sides", "two-sided-long-edge", kTwoSidedLongEdge},
    {"sides", "two-sided-short-edge", kTwoSidedShortEdge},
    {"Duplex", "None", kOneSided},
    {"Duplex", "DuplexNoTumble", kTwoSidedLongEdge},
    {"Duplex", "DuplexTumble", kTwoSidedShortEdge},
};

// Duplexing from the standard CUPS options when the platform key is absent.
int32_t DuplexingFromCupsOptions(const JobOptions& options)
{
    for (const DuplexingChoice& choice : kDuplexingChoices)
        if (const char* value = options.Get(choice.option); value && std::strcmp(value, choice.value) == 0)
            return choice.duplexing;
    return -1;
}

}  // namespace

JobOptions::JobOptions(const char* text)
{
    if (text)
        count_ = cupsParseOptions(text, 0, &options_);
}

JobOptions::~JobOptions() { cupsFreeOptions(count_, options_); }

const char* JobOptions::Get(const char* name) const { return cupsGetOption(name, count_, options_); }

bool IsCollateOn(const char* value) { return value && strcasecmp(value, "true") == 0; }

bool IsUTF8Printer(const printoptions& options)
{
    return std::strcmp(options.ppd.printerLanguageEncoding, "UTF-8") == 0;
}

bool GetTicketPasswordStringConvertedToEncryption(const char* key, int numOptions, cups_option_t* options, void* dest,
                                                  std::size_t width)
{
    using namespace zlk::secblob;
    auto* field = static_cast<char*>(dest);
    std::memset(field, 0, width);
    const char* value = cupsGetOption(key, numOptions, options);
    // The dialogs write every password key, left empty where nobody typed
    // one: that is no password that failed to open.
    if (!value || !*value)
        return false;

    // Working limits: 255 bytes of password (the text and blob limits are
    // the opener's), a 2000-byte blob for the printer.
    uint8_t plain[255];
    std::size_t plainLength = sizeof plain;
    uint8_t blob[2000];
    std::size_t blobLength = 0;
    bool filled = sealing::Decode_StorageText(value, plain, &plainLength) == kSecBlobSuccess &&
                  sealing::Encode_Random(plain, plainLength, blob, &blobLength) == kSecBlobSuccess &&
                  SecBlobEnc_Base64_Encode(blob, blobLength, field, width - 1) > 0;
    sealing::Wipe(plain, sizeof plain);
    if (!filled) {
        std::memset(field, 0, width);
        Report(Severity::Warning, "The stored password %s could not be opened; it is sent empty.", key);
    }
    return filled;
}

void numstrtochar(char* text, std::size_t size)
{
    if (!text || size == 0 || text[0] != '/')
        return;
    // Reads and writes stay inside size, terminated or not; each part is at
    // least "/" plus digits, so the write never passes the read.
    std::size_t in = 0, out = 0;
    auto at = [&](std::size_t i) { return i < size ? text[i] : '\0'; };
    while (at(in) == '/' && out + 1 < size) {
        ++in;
        bool negative = at(in) == '-';
        if (at(in) == '-' || at(in) == '+')
            ++in;
        long number = 0;
        for (; at(in) >= '0' && at(in) <= '9'; ++in)
            if (number < 256)
                number = number * 10 + (at(in) - '0');
        while (at(in) && at(in) != '/')
            ++in;
        unsigned char byte = (negative || number >= 256) ? 0 : static_cast<unsigned char>(number);
        text[out++] = static_cast<char>(byte);
        if (byte == 0)
            break;
    }
    text[out < size ? out : size - 1] = '\0';
}

ppd_attr_t* ppdFindAttr_ALT(ppd_file_t* ppd, const char* keyword, const char*)
{
    if (!ppd || !keyword)
        return nullptr;
    std::size_t length = std::strlen(keyword);
    for (int i = 0; i < ppd->num_attrs; ++i) {
        ppd_attr_t* attr = ppd->attrs[i];
        if (attr && std::strncmp(attr->name, keyword, length) == 0)
            return attr;
    }
    return nullptr;
}

void GetPPDOptions(const char* ppdPath, stPPDOption& group) { GetPPDOptions(common::OpenPPD(ppdPath), group); }

void GetPPDOptions(const common::PPDHandle& ppd, stPPDOption& group)
{
    group = stPPDOption{};
    if (!ppd)
        return;
    if (ppd_attr_t* attr = ppdFindAttr_ALT(ppd.get(), "ZLKPrinterLanguageEncoding", nullptr); attr && attr->value)
        std::snprintf(group.printerLanguageEncoding, sizeof group.printerLanguageEncoding, "%s", attr->value);
    if (ppd_option_t* option = ppdFindOption(ppd.get(), "ZLKEmitPageSizeCommand"))
        std::snprintf(group.emitPageSizeCommandDefault, sizeof group.emitPageSizeCommandDefault, "%s",
                      option->defchoice);
}

std::string ReadCopies(const char* text)
{
    const std::string_view given = text ? text : "";
    unsigned long copies = 0;
    auto [end, ec] = std::from_chars(given.data(), given.data() + given.size(), copies);
    const bool whole = !given.empty() && std::isdigit(static_cast<unsigned char>(given[0])) && ec == std::errc() &&
                       end == given.data() + given.size();
    if (whole && copies >= 1 && copies <= INT32_MAX)
        return std::to_string(copies);
    Report(Severity::Warning, "The copy count given is not a whole number from 1 up; printing 1 copy.");
    return "1";
}

int GetPrintOptions(const char* const* argv, const char* ppdPath, printoptions& record, DocumentNames& names)
{
    return GetPrintOptions(argv, common::OpenPPD(ppdPath), record, names);
}

int GetPrintOptions(const char* const* argv, const common::PPDHandle& ppd, printoptions& record, DocumentNames& names)
{
    GetPPDOptions(ppd, record.ppd);
    const bool utf8 = IsUTF8Printer(record);
    const JobOptions options(argv[5]);

    std::optional<int> productType;
    if (const char* value = options.Get(kTicketKey<"PrintTypeProductTypeTicketKey">))
        productType = std::atoi(value);
    PrepareDocumentName(argv[3], utf8, productType, names);

    std::setvbuf(stderr, nullptr, _IONBF, 0);

    GetTicketFromArray(options, utf8 ? PrintTypeticketDataForUTF8 : PrintTypeticketData, record);
    GetTicketFromArray(options, utf8 ? JBAticketDataCommonForUTF8 : JBAticketDataCommon, record);
    GetTicketFromArray(options, utf8 ? JBAticketDataAdminForUTF8 : JBAticketDataAdmin, record);
    GetTicketFromArray(options, FeaturesticketData, record);
    if (record.features.duplexing < 0)
        record.features.duplexing = DuplexingFromCupsOptions(options);
    return 1;
}

}  // namespace zlk::filter
