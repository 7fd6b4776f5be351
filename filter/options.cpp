#include "filter/options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "common/ppdfile.h"
#include "filter/output.h"
#include "secblob/secblob.h"

#include <openssl/crypto.h>

namespace zlk::filter {

namespace {

#define ZLK_TICKET(name) "com.zelko.jt.printsettings.pdf.ww." name
#define ZLK_FIELD(member) offsetof(printoptions, member), sizeof(printoptions::member)

// Length of the longest prefix of text[0..limit) that ends on a UTF-8
// character boundary, or limit when text is not UTF-8 (then bytes are bytes).
std::size_t Utf8SafeCut(const char* text, std::size_t length, std::size_t limit)
{
    if (length <= limit)
        return length;
    for (std::size_t i = 0; i < limit;) {
        std::size_t n = UTF8CharLength(text + i);
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
    std::size_t n = Utf8SafeCut(text.data(), text.size(), width - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

const TicketData kPrintTypeRows[] = {
    {ZLK_TICKET("PrintTypeTicketKey"), ZLK_FIELD(printType.printType), GetTicketInteger},
    {ZLK_TICKET("PrintTypeUserNameTicketKey"), ZLK_FIELD(printType.userName), GetTicketStringConvertedToPrtLang},
    {ZLK_TICKET("PrintTypePasswordTicketKey"), ZLK_FIELD(printType.password), GetTicketStringConvertedToPrtLang},
    {ZLK_TICKET("DocumentNameTypeTicketKey"), ZLK_FIELD(printType.documentNameType), GetTicketInteger},
    {ZLK_TICKET("DocumentNameTicketKey"), ZLK_FIELD(printType.documentName), GetTicketStringConvertedToPrtLang},
    {ZLK_TICKET("DelayPrintTicketKey"), ZLK_FIELD(printType.delayPrintTime), GetTicketStringConvertedToPrtLang},
};

const TicketData kPrintTypeRowsForUTF8[] = {
    {ZLK_TICKET("PrintTypeTicketKey"), ZLK_FIELD(printType.printType), GetTicketInteger},
    {ZLK_TICKET("PrintTypeUserNameTicketKey"), ZLK_FIELD(printType.userName), GetTicketStringConvertedToPrtLangForUTF8},
    {ZLK_TICKET("PrintTypePasswordTicketKey"), ZLK_FIELD(printType.password), GetTicketStringConvertedToPrtLang},
    {ZLK_TICKET("DocumentNameTypeTicketKey"), ZLK_FIELD(printType.documentNameType), GetTicketInteger},
    {ZLK_TICKET("DocumentNameTicketKey"), ZLK_FIELD(printType.documentName), GetTicketStringConvertedToPrtLangForUTF8},
    {ZLK_TICKET("DelayPrintTicketKey"), ZLK_FIELD(printType.delayPrintTime), GetTicketStringConvertedToPrtLang},
};

// Keys that the dialogs write but no output reads (the IP address, the
// admin user id and input radio, the input authentication radio) are not
// stored.
// One table row a line reads better than any wrapping.
// clang-format off
#define ZLK_JBA_COMMON_ROWS(UTF8READER)                                                                                     \
    {ZLK_TICKET("JBAMacHostNameStringTicket"), ZLK_FIELD(jba.hostName), GetTicketStringConvertedToPrtLang},                 \
    {ZLK_TICKET("JBAManageTypeListTicketKey"), ZLK_FIELD(jba.manageType), GetTicketInteger},                                \
    {ZLK_TICKET("JBAUserIDListCtrlTicket"), ZLK_FIELD(jba.userIdSource), GetTicketInteger},                                 \
    {ZLK_TICKET("JBAUserIDTextEditTicket"), ZLK_FIELD(jba.userId), UTF8READER},                                             \
    {ZLK_TICKET("JBADomainNameTextEditTicket"), ZLK_FIELD(jba.domainName), GetTicketStringConvertedToPrtLang},              \
    {ZLK_TICKET("JBAUserPasswordTextEditTicket"), ZLK_FIELD(jba.password), GetTicketPasswordStringConvertedToEncryption},   \
    {ZLK_TICKET("JBAAccountIDTextEditTicket"), ZLK_FIELD(jba.accountId), GetTicketStringConvertedToPrtLang},                \
    {ZLK_TICKET("JBAStorageIDTextEditTicket"), ZLK_FIELD(jba.storageId), UTF8READER},                                       \
    {ZLK_TICKET("JBAStoragePasswordTextEditTicket"), ZLK_FIELD(jba.storagePassword),                                        \
     GetTicketPasswordStringConvertedToEncryption},                                                                         \
    {ZLK_TICKET("JBAUserInputRadioBtnTicket"), ZLK_FIELD(jba.userInput), GetTicketInteger},                                 \
    {ZLK_TICKET("JBAInputStrgRadioBtnTicketKey"), ZLK_FIELD(jba.inputStorage), GetTicketInteger},                           \
    {ZLK_TICKET("JBAInputStorageIDTextEditTicket"), ZLK_FIELD(jba.inputStorageId), UTF8READER},                             \
    {ZLK_TICKET("JBAInputStoragePasswordTextEditTicket"), ZLK_FIELD(jba.inputStoragePassword),                              \
     GetTicketPasswordStringConvertedToEncryption},                                                                         \
    {ZLK_TICKET("JBAInputUserIDTextEditTicket"), ZLK_FIELD(jba.inputUserId), UTF8READER},                                   \
    {ZLK_TICKET("JBAInputDomainNameTextEditTicket"), ZLK_FIELD(jba.inputDomainName), GetTicketStringConvertedToPrtLang},    \
    {ZLK_TICKET("JBAInputUserPasswordTextEditTicket"), ZLK_FIELD(jba.inputPassword),                                        \
     GetTicketPasswordStringConvertedToEncryption},                                                                         \
    {ZLK_TICKET("JBAInputAccountIDTextEditTicket"), ZLK_FIELD(jba.inputAccountId), GetTicketStringConvertedToPrtLang},      \
    {ZLK_TICKET("JBALoginTextEditTicket"), ZLK_FIELD(jba.loginName), GetTicketStringConvertedToPrtLang},

#define ZLK_JBA_ADMIN_ROWS(UTF8READER)                                                                                      \
    {ZLK_TICKET("JBAAdminDomainNameTextEditTicket"), ZLK_FIELD(jba.adminDomainName), GetTicketStringConvertedToPrtLang},    \
    {ZLK_TICKET("JBAAdminUserPasswordTextEditTicket"), ZLK_FIELD(jba.adminPassword),                                        \
     GetTicketPasswordStringConvertedToEncryption},                                                                         \
    {ZLK_TICKET("JBAAdminAccountIDTextEditTicket"), ZLK_FIELD(jba.adminAccountId), GetTicketStringConvertedToPrtLang},      \
    {ZLK_TICKET("JBAAdminStorageIDTextEditTicket"), ZLK_FIELD(jba.adminStorageId), UTF8READER},                             \
    {ZLK_TICKET("JBAAdminStoragePasswordTextEditTicket"), ZLK_FIELD(jba.adminStoragePassword),                              \
     GetTicketPasswordStringConvertedToEncryption},

// clang-format on

const TicketData kJBACommonRows[] = {ZLK_JBA_COMMON_ROWS(GetTicketStringConvertedToPrtLang)};
const TicketData kJBACommonRowsForUTF8[] = {ZLK_JBA_COMMON_ROWS(GetTicketStringConvertedToPrtLangForUTF8)};
const TicketData kJBAAdminRows[] = {ZLK_JBA_ADMIN_ROWS(GetTicketStringConvertedToPrtLang)};
const TicketData kJBAAdminRowsForUTF8[] = {ZLK_JBA_ADMIN_ROWS(GetTicketStringConvertedToPrtLangForUTF8)};

const TicketData kFeaturesRows[] = {
    {"number-up", ZLK_FIELD(features.numberUp), GetNumberUpTicketString},
    {"Collate", ZLK_FIELD(features.collate), GetTicketStringConvertedToPrtLang},
    {"media", ZLK_FIELD(features.media), GetTicketStringConvertedToPrtLang},
    {"InputSlot", ZLK_FIELD(features.inputSlot), GetTicketStringConvertedToPrtLang},
    {"MediaType", ZLK_FIELD(features.mediaType), GetTicketStringConvertedToPrtLang},
    {"ZLKColorMode", ZLK_FIELD(features.colorMode), GetTicketStringConvertedToPrtLang},
    {"ZLKOutputMode", ZLK_FIELD(features.outputMode), GetTicketStringConvertedToPrtLang},
    {"ZLKStaple", ZLK_FIELD(features.staple), GetTicketStringConvertedToPrtLang},
    {"ZLKPunch", ZLK_FIELD(features.punch), GetTicketStringConvertedToPrtLang},
    {"ZLKNumPunchHoles", ZLK_FIELD(features.numPunchHoles), GetTicketStringConvertedToPrtLang},
    {"Jog", ZLK_FIELD(features.jog), GetTicketStringConvertedToPrtLang},
    {"ZLKIntCoverSheet", ZLK_FIELD(features.intCoverSheet), GetTicketStringConvertedToPrtLang},
    {"ZLKIntBackCoverSheet", ZLK_FIELD(features.intBackCoverSheet), GetTicketStringConvertedToPrtLang},
    {"ZLKSignature", ZLK_FIELD(features.signature), GetTicketStringConvertedToPrtLang},
    {"ZLKSigVol", ZLK_FIELD(features.sigVol), GetTicketStringConvertedToPrtLang},
    {"com.apple.print.PrintSettings.PMDuplexing..n.", ZLK_FIELD(features.duplexing), GetTicketInteger},
    {ZLK_TICKET("BookletMarginSwitchTicket"), ZLK_FIELD(features.bookletMarginSwitch),
     GetTicketStringConvertedToPrtLang},
    {ZLK_TICKET("BookletMarginMMShiftTicket"), ZLK_FIELD(features.bookletMarginShift),
     GetTicketStringConvertedToPrtLang},
};

template <std::size_t N>
constexpr TicketTable MakeTable(const TicketData (&rows)[N])
{
    return TicketTable{rows, N};
}

// Duplexing from the standard CUPS options when the platform key is absent.
int32_t DuplexingFromCupsOptions(int numOptions, cups_option_t* options)
{
    if (const char* sides = cupsGetOption("sides", numOptions, options)) {
        if (!std::strcmp(sides, "one-sided"))
            return 1;
        if (!std::strcmp(sides, "two-sided-long-edge"))
            return 2;
        if (!std::strcmp(sides, "two-sided-short-edge"))
            return 3;
    }
    if (const char* duplex = cupsGetOption("Duplex", numOptions, options)) {
        if (!std::strcmp(duplex, "None"))
            return 1;
        if (!std::strcmp(duplex, "DuplexNoTumble"))
            return 2;
        if (!std::strcmp(duplex, "DuplexTumble"))
            return 3;
    }
    return -1;
}

}  // namespace

const TicketTable PrintTypeticketData = MakeTable(kPrintTypeRows);
const TicketTable PrintTypeticketDataForUTF8 = MakeTable(kPrintTypeRowsForUTF8);
const TicketTable JBAticketDataCommon = MakeTable(kJBACommonRows);
const TicketTable JBAticketDataCommonForUTF8 = MakeTable(kJBACommonRowsForUTF8);
const TicketTable JBAticketDataAdmin = MakeTable(kJBAAdminRows);
const TicketTable JBAticketDataAdminForUTF8 = MakeTable(kJBAAdminRowsForUTF8);
const TicketTable FeaturesticketData = MakeTable(kFeaturesRows);

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

int GetTicketInteger(const char* key, int numOptions, cups_option_t* options, void* dest, std::size_t)
{
    const char* value = cupsGetOption(key, numOptions, options);
    int32_t number = value ? static_cast<int32_t>(std::atoi(value)) : -1;
    std::memcpy(dest, &number, sizeof number);
    return value != nullptr;
}

int GetTicketStringConvertedToPrtLang(const char* key, int numOptions, cups_option_t* options, void* dest,
                                      std::size_t width)
{
    static_cast<char*>(dest)[0] = '\0';
    const char* value = cupsGetOption(key, numOptions, options);
    if (!value)
        return 0;
    CopyField(DecodedValue(value), dest, width);
    return 1;
}

int GetTicketStringConvertedToPrtLangForUTF8(const char* key, int numOptions, cups_option_t* options, void* dest,
                                             std::size_t width)
{
    auto* out = static_cast<char*>(dest);
    out[0] = '\0';
    const char* value = cupsGetOption(key, numOptions, options);
    if (!value)
        return 0;
    ConvertUTF8ToEncodingForUTF8(DecodedValue(value).c_str(), out, width);
    return 1;
}

int GetTicketPasswordStringConvertedToEncryption(const char* key, int numOptions, cups_option_t* options, void* dest,
                                                 std::size_t width)
{
    using namespace zlk::secblob;
    auto* field = static_cast<char*>(dest);
    std::memset(field, 0, width);
    const char* value = cupsGetOption(key, numOptions, options);
    if (!value)
        return 0;

    // Working limits: 1023 bytes of text, 2000 bytes of blob, 255 bytes of password.
    char text[1024] = {};
    std::strncpy(text, value, sizeof text - 1);
    uint8_t stored[2000];
    std::size_t storedLength = SecBlobEnc_Base64_Decode(text, stored, sizeof stored);
    uint8_t plain[255];
    std::size_t plainLength = sizeof plain;
    uint8_t blob[2000];
    std::size_t blobLength = 0;
    bool filled = storedLength > 0 && Decode_Storage(stored, storedLength, plain, &plainLength) == kSecBlobSuccess &&
                  Encode_Random(plain, plainLength, blob, &blobLength) == kSecBlobSuccess &&
                  SecBlobEnc_Base64_Encode(blob, blobLength, field, width - 1) > 0;
    OPENSSL_cleanse(plain, sizeof plain);
    if (!filled) {
        std::memset(field, 0, width);
        char message[256];
        std::snprintf(message, sizeof message,
                      "WARNING: The stored password %s could not be opened; it is sent empty.\n", key);
        Utlfputs(message, stderr);
    }
    return filled;
}

int GetNumberUpTicketString(const char* key, int numOptions, cups_option_t* options, void* dest, std::size_t width)
{
    std::string text;
    if (const char* value = cupsGetOption(key, numOptions, options)) {
        text = "N" + std::string(value).substr(0, 1022);
    } else {
        // A missing row or column count counts as 1.
        const char* rows = cupsGetOption("com.apple.print.PrintSettings.PMLayoutRows..n.", numOptions, options);
        const char* columns = cupsGetOption("com.apple.print.PrintSettings.PMLayoutColumns..n.", numOptions, options);
        long product = (rows ? std::atol(rows) : 1) * (columns ? std::atol(columns) : 1);
        text = product <= 1 ? std::string("1") : "N" + std::to_string(product);
    }
    ConvertUTF8ToEncoding(text.c_str(), static_cast<char*>(dest), width);
    return 1;
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

void GetTicketFromArray(const char* jobOptions, const TicketTable& table, printoptions& record)
{
    JobOptions options(jobOptions);
    auto* base = reinterpret_cast<unsigned char*>(&record);
    for (std::size_t i = 0; i < table.count; ++i) {
        const TicketData& row = table.rows[i];
        row.reader(row.key, options.count(), options.options(), base + row.offset, row.width);
    }
    if (&table == &FeaturesticketData && record.features.duplexing < 0)
        record.features.duplexing = DuplexingFromCupsOptions(options.count(), options.options());
}

void GetPPDOptions(const char* ppdPath, stPPDOption& group)
{
    group = stPPDOption{};
    common::PPDHandle ppd = common::OpenPPD(ppdPath);
    if (!ppd)
        return;
    if (ppd_attr_t* attr = ppdFindAttr_ALT(ppd.get(), "ZLKPrinterLanguageEncoding", nullptr); attr && attr->value)
        std::snprintf(group.printerLanguageEncoding, sizeof group.printerLanguageEncoding, "%s", attr->value);
    if (ppd_option_t* option = ppdFindOption(ppd.get(), "ZLKEmitPageSizeCommand"))
        std::snprintf(group.emitPageSizeCommandDefault, sizeof group.emitPageSizeCommandDefault, "%s",
                      option->defchoice);
}

int GetPrintOptions(const char* const* argv, const char* ppdPath, printoptions& record, DocumentNames& names)
{
    GetPPDOptions(ppdPath, record.ppd);
    const bool utf8 = IsUTF8Printer(record);
    const char* jobOptions = argv[5];

    std::optional<int> productType;
    {
        JobOptions options(jobOptions);
        if (const char* value = options.Get(ZLK_TICKET("PrintTypeProductTypeTicketKey")))
            productType = std::atoi(value);
    }
    PrepareDocumentName(argv[3], utf8, productType, names);

    std::setvbuf(stderr, nullptr, _IONBF, 0);

    GetTicketFromArray(jobOptions, utf8 ? PrintTypeticketDataForUTF8 : PrintTypeticketData, record);
    GetTicketFromArray(jobOptions, utf8 ? JBAticketDataCommonForUTF8 : JBAticketDataCommon, record);
    GetTicketFromArray(jobOptions, utf8 ? JBAticketDataAdminForUTF8 : JBAticketDataAdmin, record);
    GetTicketFromArray(jobOptions, FeaturesticketData, record);
    return 1;
}

}  // namespace zlk::filter
