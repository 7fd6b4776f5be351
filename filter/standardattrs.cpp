#include "filter/standardattrs.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "common/dialogjob.h"
#include "common/ppdfile.h"
#include "common/utf8.h"
#include "filter/options.h"
#include "filter/output.h"
#include "filter/sealing.h"
#include "secblob/secblob.h"

namespace zlk::filter {

namespace {

// The ticket keys of the print type panel and its windows, by name.
constexpr const char* kPrintTypeKeyNames[] = {
    "PrintTypeTicketKey",    "PrintTypeProductTypeTicketKey", "DocumentNameTypeTicketKey",
    "DocumentNameTicketKey", "PrintTypeUserNameTicketKey",    "PrintTypePasswordTicketKey",
    "PrintTypeMBNTicketKey", "PrintTypeMBNPasswordTicketKey", "DelayPrintTicketKey",
};

// Where the print type panel keeps the secure print passcode.
const std::string& PasscodeKey()
{
    static const std::string key = std::string(kTicketKeyPrefix) + "PrintTypePasswordTicketKey";
    return key;
}

// Every key of the accounting panel and its windows starts with this name.
constexpr std::string_view kAccountingKeyStart = "JBA";

// Whether some job option is a ticket key whose name (after the prefix)
// satisfies match.
template <typename Match>
bool HasTicketKey(const JobOptions& options, Match match)
{
    const std::string_view prefix = kTicketKeyPrefix;
    for (int i = 0; i < options.count(); ++i) {
        const std::string_view name = options.options()[i].name;
        if (name.starts_with(prefix) && match(name.substr(prefix.size())))
            return true;
    }
    return false;
}

bool HasPrintTypeKey(const JobOptions& options)
{
    return HasTicketKey(options, [](std::string_view name) {
        for (const char* known : kPrintTypeKeyNames)
            if (name == known)
                return true;
        return false;
    });
}

bool HasAccountingKey(const JobOptions& options)
{
    return HasTicketKey(options, [](std::string_view name) { return name.starts_with(kAccountingKeyStart); });
}

// Whether a print dialog sent the job. Without the mark, the ticket keys
// can only be the queue's defaults (or defaults saved for every program),
// which the scheduler adds to every job: a standard attribute the job
// carries itself then wins over them.
bool SentByDialog(const JobOptions& options)
{
    const char* mark = options.Get(common::kDialogJobOption);
    return mark != nullptr && std::strcmp(mark, common::kDialogJobValue) == 0;
}

// The digits of the option's default choice read as one number (PW06 is 6);
// -1 without the option.
int DefaultChoiceDigits(ppd_file_t* ppd, const char* keyword)
{
    const ppd_option_t* option = ppdFindOption(ppd, keyword);
    if (!option)
        return -1;
    long value = 0;
    for (const char* c = option->defchoice; *c; ++c)
        if (*c >= '0' && *c <= '9' && value <= INT_MAX / 10)
            value = value * 10 + (*c - '0');
    return static_cast<int>(value);
}

// The first decimal number in the attribute's value; -1 without one.
int FirstNumberInAttribute(ppd_file_t* ppd, const char* keyword)
{
    const ppd_attr_t* attr = ppdFindAttr_ALT(ppd, keyword, nullptr);
    if (!attr || !attr->value)
        return -1;
    for (const char* p = attr->value; *p; ++p) {
        char* end = nullptr;
        const long value = std::strtol(p, &end, 10);
        if (end != p)
            return value < 0 ? 0 : value > INT_MAX ? INT_MAX : static_cast<int>(value);
    }
    return -1;
}

bool IsDigits(std::string_view text)
{
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// The passcode as the print dialog writes it into the ticket: the digits,
// or on models that keep it encrypted their Base64 storage blob. False when
// the blob could not be made.
bool StorePasscode(std::string_view passcode, const PasscodeRule& rule,
                   char (&field)[sizeof stPrintTypeOption::password])
{
    using namespace zlk::secblob;
    std::memset(field, 0, sizeof field);
    if (!rule.storedEncrypted) {
        std::memcpy(field, passcode.data(), passcode.size());
        return true;
    }
    uint8_t blob[2000];
    std::size_t blobLength = sizeof blob;
    return sealing::Encode_Storage(reinterpret_cast<const uint8_t*>(passcode.data()), passcode.size(), blob,
                                   &blobLength) == kSecBlobSuccess &&
           SecBlobEnc_Base64_Encode(blob, blobLength, field, sizeof field - 1) > 0;
}

// Why value cannot be the passcode, or the empty text. Never quotes it.
std::string PasscodeProblem(std::string_view value, const char* encryption, const PasscodeRule& rule)
{
    if (encryption && std::strcmp(encryption, "none") != 0)
        return "job-password-encryption is not \"none\": the printer needs the passcode itself, not a hash of it";
    if (!rule.canHoldJobs)
        return "job-password asks for a held job, and this printer has no storage installed to hold it in";
    if (value.empty())
        return "job-password is empty";
    if (!IsDigits(value))
        return "job-password is not all digits";
    const int digits = static_cast<int>(value.size() > 1000 ? 1000 : value.size());
    if (digits > rule.maximum)
        return "job-password has " + std::to_string(digits) + " digits, more than the " + std::to_string(rule.maximum) +
               " the printer takes";
    if (digits < rule.minimum)
        return "job-password has " + std::to_string(digits) + " digits, fewer than the " +
               std::to_string(rule.minimum) + " this printer requires";
    return "";
}

// Copies value into field when it fits whole; false when it would be cut.
template <std::size_t N>
bool CopyWhole(const char* value, char (&field)[N])
{
    const std::size_t length = std::strlen(value);
    if (length >= N)
        return false;
    std::memcpy(field, value, length + 1);
    return true;
}

std::string ApplyPasscode(const JobOptions& options, const char* user, const PasscodeRule& rule, printoptions& record)
{
    const char* passcode = options.Get("job-password");
    if (!passcode)
        return "";
    if (SentByDialog(options) && HasPrintTypeKey(options)) {
        // The dialogs send their passcode as job-password, where the
        // scheduler keeps it from other users: it is the dialog's own.
        const char* own = options.Get(PasscodeKey().c_str());
        if ((own && *own) || record.printType.printType != PrintType::Secure) {
            Report(Severity::Info, "job-password is not used: the print dialog's print type settings decide.");
            return "";
        }
        if (std::string problem = PasscodeProblem(passcode, options.Get("job-password-encryption"), rule);
            !problem.empty())
            return problem;
        if (!StorePasscode(passcode, rule, record.printType.password))
            return "job-password could not be encrypted for this printer";
        return "";
    }
    if (std::string problem = PasscodeProblem(passcode, options.Get("job-password-encryption"), rule); !problem.empty())
        return problem;

    stPrintTypeOption& printType = record.printType;
    if (!StorePasscode(passcode, rule, printType.password))
        return "job-password could not be encrypted for this printer";
    printType.printType = PrintType::Secure;
    // The held job is listed under its owner and its title, as the dialog
    // would list it by default.
    printType.documentNameType = DocumentNameType::Automatic;
    printType.documentName[0] = '\0';
    printType.delayPrintTime[0] = '\0';
    const std::string_view owner = user ? user : "";
    const std::size_t kept = common::Utf8SafeLength(owner, sizeof printType.userName - 1);
    std::memcpy(printType.userName, owner.data(), kept);
    printType.userName[kept] = '\0';
    return "";
}

// The print dialog keeps the passcode out of the print settings in clear
// text: it writes a Base64 storage blob for every model. A model that reads
// the passcode itself gets the digits back; the encrypting model gets the
// blob as it was written. A value that is not a blob (older dialogs, other
// clients) is left as the reader read it.
void OpenDialogPasscode(const JobOptions& options, const PasscodeRule& rule, printoptions& record)
{
    using namespace zlk::secblob;
    const char* raw = options.Get(PasscodeKey().c_str());
    if (!raw || !*raw || IsDigits(raw))
        return;
    char(&field)[sizeof stPrintTypeOption::password] = record.printType.password;
    uint8_t plain[255];
    std::size_t plainLength = sizeof plain;
    if (sealing::Decode_StorageText(raw, plain, &plainLength) == kSecBlobSuccess) {
        const std::string_view value = rule.storedEncrypted
                                           ? std::string_view(raw)
                                           : std::string_view(reinterpret_cast<const char*>(plain), plainLength);
        if (value.size() < sizeof field) {
            std::memset(field, 0, sizeof field);
            std::memcpy(field, value.data(), value.size());
        }
    }
    sealing::Wipe(plain, sizeof plain);
}

std::string ApplyAccounting(const JobOptions& options, printoptions& record)
{
    const char* accountId = options.Get("job-account-id");
    const char* userId = options.Get("job-accounting-user-id");
    accountId = accountId && accountId[0] ? accountId : nullptr;
    userId = userId && userId[0] ? userId : nullptr;
    if (!accountId && !userId)
        return "";
    if (SentByDialog(options) && HasAccountingKey(options)) {
        Report(Severity::Info,
               "job-account-id and job-accounting-user-id are not used: the print dialog's accounting settings "
               "decide.");
        return "";
    }
    stJBAOption accounting{};
    // A cut identifier could charge somebody else's account.
    if (accountId && !CopyWhole(accountId, accounting.accountId))
        return "job-account-id is longer than the " + std::to_string(sizeof accounting.accountId - 1) +
               " bytes the printer takes";
    if (userId && !CopyWhole(userId, accounting.userId))
        return "job-accounting-user-id is longer than the " + std::to_string(sizeof accounting.userId - 1) +
               " bytes the printer takes";
    // The user settings with an entered user ID: the owner and account
    // attributes then carry exactly these two values.
    stJBAOption& jba = record.jba;
    std::memcpy(jba.accountId, accounting.accountId, sizeof jba.accountId);
    std::memcpy(jba.userId, accounting.userId, sizeof jba.userId);
    jba.manageType = ManageType::UserSettings;
    jba.userIdSource = UserIdSource::EnteredId;
    jba.userInput = RadioButton::Off;
    jba.inputStorage = RadioButton::Off;
    jba.domainName[0] = jba.password[0] = jba.storageId[0] = jba.storagePassword[0] = '\0';
    return "";
}

}  // namespace

PasscodeRule ReadPasscodeRule(const char* ppdPath) { return ReadPasscodeRule(common::OpenPPD(ppdPath)); }

PasscodeRule ReadPasscodeRule(const common::PPDHandle& ppd)
{
    PasscodeRule rule;
    if (!ppd)
        return rule;
    const ppd_attr_t* model = ppdFindAttr(ppd.get(), "ZLKDeviceModel", nullptr);
    rule.storedEncrypted = model && model->value && std::strcmp(model->value, "Quorvel") == 0;
    rule.canHoldJobs = common::CanHoldJobs(ppd.get());
    // The option names the minimum; on the encrypting model an attribute of
    // the same name, when it holds a number, overrides it.
    const char* keyword = rule.storedEncrypted ? "ZLKPTPasswdLimit" : "ZLKMinDigitPasscode";
    rule.minimum = std::max(DefaultChoiceDigits(ppd.get(), keyword), 0);
    if (rule.storedEncrypted)
        if (int fromAttribute = FirstNumberInAttribute(ppd.get(), keyword); fromAttribute >= 0)
            rule.minimum = fromAttribute;
    return rule;
}

std::string ApplyStandardJobAttributes(const char* jobOptions, const char* user, const PasscodeRule& rule,
                                       printoptions& record)
{
    const JobOptions options(jobOptions);
    OpenDialogPasscode(options, rule, record);
    if (std::string refusal = ApplyPasscode(options, user, rule, record); !refusal.empty())
        return refusal;
    return ApplyAccounting(options, record);
}

}  // namespace zlk::filter
