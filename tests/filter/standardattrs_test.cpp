// The standard IPP job attributes: a passcode for a held job and
// accounting, mapped where the dialog's ticket keys are absent, refused
// where the printer could not honour them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filter/jobstream.h"
#include "filter/options.h"
#include "filter/standardattrs.h"
#include "opensslcli.h"
#include "records.h"
#include "secblob/secblob.h"
#include "spooler.h"
#include "testpdf.h"

using namespace zlk::filter;
using namespace zlk::test;
using zlk::filter::test::TicketKey;

namespace {

const std::string kCp932Ppd = FixturePath("ppd/cp932.ppd");

// A PPD of the CP932 test printer with extra lines.
std::string PpdWith(const TempDir& dir, const std::string& lines)
{
    const std::string path = dir.file("printer.ppd");
    WriteFile(path, ReadFile(kCp932Ppd) + lines);
    return path;
}

std::string Storage(const char* ui, const char* choice)
{
    return std::string("*OpenUI *ZLKHardDisk/Storage: ") + ui + "\n*DefaultZLKHardDisk: " + choice + "\n*ZLKHardDisk " +
           choice + "/Choice: \"\"\n*CloseUI: *ZLKHardDisk\n";
}

std::string RamDisk(const char* choice)
{
    return std::string("*OpenUI *ZLKRAMDisk/RAM Disk: Boolean\n*DefaultZLKRAMDisk: ") + choice +
           "\n*ZLKRAMDisk True/Installed: \"\"\n*ZLKRAMDisk False/Not Installed: \"\"\n*CloseUI: *ZLKRAMDisk\n";
}

std::string MinimumOption(const char* keyword, const char* defaultChoice)
{
    return std::string("*OpenUI *") + keyword + "/Minimum: PickOne\n*Default" + keyword + ": " + defaultChoice + "\n*" +
           keyword + " PW0/None: \"\"\n*" + keyword + " " + defaultChoice + "/Some: \"\"\n*CloseUI: *" + keyword + "\n";
}

// A job read as the filter reads it, then given the standard attributes.
struct Mapped {
    printoptions record{};
    std::string refusal;
    std::string log;
};

Mapped Map(const std::string& options, const PasscodeRule& rule = {}, const std::string& ppd = kCp932Ppd)
{
    Mapped mapped;
    DocumentNames names{};
    const char* argv[] = {"ZLKPrintFilter", "1", "alice", "Report", "1", options.c_str(), nullptr};
    GetPrintOptions(argv, ppd.c_str(), mapped.record, names);
    testing::internal::CaptureStderr();
    mapped.refusal = ApplyStandardJobAttributes(options.c_str(), "alice", rule, mapped.record);
    mapped.log = testing::internal::GetCapturedStderr();
    return mapped;
}

// The passcode a Base64 storage blob holds, opened with the openssl tool.
std::string OpenStored(const std::string& text)
{
    using namespace zlk::secblob;
    auto blob = SecBlobEnc_Base64_Decode_Data(text.c_str());
    if (!blob)
        return "(not Base64)";
    return OpenSslOpenStorageBlob(*blob, {seed1, seed1 + 32}, {seed2, seed2 + 32}, {seed3, seed3 + 16});
}

}  // namespace

TEST(PasscodeRule, ComesFromThePrintersMinimumAndModel)
{
    TempDir dir;
    struct Case {
        const char* what;
        std::string ppd;  // lines added to the test printer, or a sample PPD's path
        bool sample;
        PasscodeRule expected;
    };
    const Case cases[] = {
        {"no minimum option", "", false, {0, 12, false}},
        {"PW4", MinimumOption("ZLKMinDigitPasscode", "PW4"), false, {4, 12, false}},
        {"leading zeros", MinimumOption("ZLKMinDigitPasscode", "PW06"), false, {6, 12, false}},
        {"the other model's option is not read", MinimumOption("ZLKPTPasswdLimit", "PW8"), false, {0, 12, false}},
        {"encrypting model",
         "*ZLKDeviceModel: \"Quorvel\"\n" + MinimumOption("ZLKPTPasswdLimit", "PW8"),
         false,
         {8, 12, true}},
        {"encrypting model, attribute overrides",
         "*ZLKDeviceModel: \"Quorvel\"\n*ZLKPTPasswdLimitNote: \"min 5\"\n" + MinimumOption("ZLKPTPasswdLimit", "PW8"),
         false,
         {5, 12, true}},
        {"model name must match exactly",
         "*ZLKDeviceModel: \"Quorvel2\"\n" + MinimumOption("ZLKPTPasswdLimit", "PW8"),
         false,
         {0, 12, false}},
        {"sample c4500", SamplePpd("zelko-mfp-c4500.ppd"), true, {4, 12, false}},
        {"sample c3500j", SamplePpd("zelko-mfp-c3500j.ppd"), true, {6, 12, false}},
        {"sample m2500", SamplePpd("zelko-mfp-m2500.ppd"), true, {0, 12, false}},
        {"sample q6000", SamplePpd("zelko-mfp-q6000.ppd"), true, {8, 12, true}},
        {"no PPD", dir.file("missing.ppd"), true, {0, 12, false}},
        // Held jobs need storage, as the print type panel offers its types.
        {"storage list: none", Storage("PickOne", "None"), false, {0, 12, false, false}},
        {"storage list: hard disk", Storage("PickOne", "HardDisk"), false, {0, 12, false, true}},
        {"storage list: RAM disk", Storage("PickOne", "RAMDisk"), false, {0, 12, false, true}},
        {"storage switch off", Storage("Boolean", "False"), false, {0, 12, false, false}},
        {"storage switch on", Storage("Boolean", "True"), false, {0, 12, false, true}},
        {"storage off, RAM disk on", Storage("Boolean", "False") + RamDisk("True"), false, {0, 12, false, true}},
        {"storage off, RAM disk off", Storage("Boolean", "False") + RamDisk("False"), false, {0, 12, false, false}},
        {"no storage, but secure print always offered",
         "*ZLKPTSecurePrintDefault: \"True\"\n" + Storage("PickOne", "None"),
         false,
         {0, 12, false, true}},
    };
    for (const Case& c : cases) {
        const std::string path = c.sample ? c.ppd : PpdWith(dir, c.ppd);
        const PasscodeRule rule = ReadPasscodeRule(path.c_str());
        EXPECT_EQ(rule.minimum, c.expected.minimum) << c.what;
        EXPECT_EQ(rule.maximum, c.expected.maximum) << c.what;
        EXPECT_EQ(rule.storedEncrypted, c.expected.storedEncrypted) << c.what;
        EXPECT_EQ(rule.canHoldJobs, c.expected.canHoldJobs) << c.what;
    }
}

TEST(StandardJobAttributes, JobPasswordMakesASecurePrintUnderThatPasscode)
{
    struct Case {
        const char* options;
        PasscodeRule rule;
        const char* passcode;
    };
    const Case cases[] = {
        {"job-password=1234 job-password-encryption=none", {4, 12, false}, "1234"},
        {"job-password=1234", {0, 12, false}, "1234"},  // the encryption defaults to none
        {"job-password=000000000000", {6, 12, false}, "000000000000"},
        {"job-password=7", {0, 12, false}, "7"},
        {"job-password=12345678 job-password-encryption=none", {8, 12, true}, "12345678"},
    };
    for (const Case& c : cases) {
        const Mapped mapped = Map(c.options, c.rule);
        ASSERT_EQ(mapped.refusal, "") << c.options;
        const stPrintTypeOption& printType = mapped.record.printType;
        EXPECT_EQ(printType.printType, PrintType::Secure) << c.options;
        EXPECT_EQ(printType.documentNameType, DocumentNameType::Automatic) << c.options;
        EXPECT_STREQ(printType.userName, "alice") << c.options;
        // As the dialog writes it for the model: the digits, or their storage blob.
        if (c.rule.storedEncrypted) {
            EXPECT_EQ(std::string(printType.password).find(c.passcode), std::string::npos) << c.options;
            EXPECT_EQ(OpenStored(printType.password), c.passcode) << c.options;
        } else {
            EXPECT_STREQ(printType.password, c.passcode) << c.options;
        }
        EXPECT_EQ(mapped.log, "") << c.options;
    }
}

TEST(StandardJobAttributes, APasscodeThePrinterCannotTakeStopsTheJob)
{
    const PasscodeRule rule{6, 12, false};
    struct Case {
        const char* options;
        const char* reason;
    };
    const Case cases[] = {
        {"job-password=12ab56", "not all digits"},
        {"job-password='12 456'", "not all digits"},
        {"job-password=-123456", "not all digits"},
        {"job-password=1234567890123", "13 digits, more than the 12"},
        {"job-password=12345", "5 digits, fewer than the 6"},
        {"job-password=", "job-password is empty"},
        {"job-password=123456 job-password-encryption=md5", "job-password-encryption is not \"none\""},
        {"job-password=123456 job-password-encryption=sha2-256", "job-password-encryption is not \"none\""},
        // Accounting alone would be fine; the passcode still stops the job.
        {"job-password=12ab56 job-account-id=ACC9", "not all digits"},
    };
    for (const Case& c : cases) {
        const Mapped mapped = Map(c.options, rule);
        EXPECT_NE(mapped.refusal.find(c.reason), std::string::npos) << c.options << ": " << mapped.refusal;
        EXPECT_EQ(mapped.refusal.find("12ab"), std::string::npos) << c.options;
        EXPECT_EQ(mapped.refusal.find("12345"), std::string::npos) << c.options;
        EXPECT_EQ(static_cast<int>(mapped.record.printType.printType), -1) << c.options;
    }

    // A good passcode for a printer that cannot hold the job.
    const Mapped noStorage = Map("job-password=123456", {6, 12, false, false});
    EXPECT_NE(noStorage.refusal.find("no storage installed"), std::string::npos) << noStorage.refusal;
    EXPECT_EQ(static_cast<int>(noStorage.record.printType.printType), -1);
}

// The dialog's keys win, the queue's defaults (the same keys without the
// dialog's mark: the scheduler adds them to every job) never do.
TEST(StandardJobAttributes, TheDialogsKeysAlwaysWinTheQueuesDefaultsNever)
{
    const PasscodeRule rule{4, 12, false};
    struct Case {
        std::string options;
        int32_t printType;
        const char* password;
        int32_t manageType;
        const char* accountId;
    };
    const std::string ippAttributes = "job-password=1234 job-account-id=ACC9 job-accounting-user-id=bob " +
                                      TicketKey("PrintDialogJobTicketKey") + "=true ";
    const std::string defaults = "job-password=1234 job-account-id=ACC9 job-accounting-user-id=bob ";
    const Case cases[] = {
        {ippAttributes + TicketKey("PrintTypeTicketKey") + "=1", 1, "", 2, "ACC9"},
        {ippAttributes + TicketKey("PrintTypeTicketKey") + "=2 " + TicketKey("PrintTypePasswordTicketKey") + "=9876", 2,
         "9876", 2, "ACC9"},
        // Any key of the print type panel counts, even one the filter reads elsewhere.
        {ippAttributes + TicketKey("PrintTypeProductTypeTicketKey") + "=1", -1, "", 2, "ACC9"},
        {ippAttributes + TicketKey("PrintTypeMBNTicketKey") + "=7", -1, "", 2, "ACC9"},
        // A bad passcode is not looked at when the dialog chose the print type.
        {"job-password=12ab " + TicketKey("DelayPrintTicketKey") + "=2024-03-05T09:07:00 " +
             TicketKey("PrintDialogJobTicketKey") + "=true",
         -1, "", -1, ""},
        {ippAttributes + TicketKey("JBAManageTypeListTicketKey") + "=1", 2, "1234", 1, ""},
        {ippAttributes + TicketKey("JBAAccountIDTextEditTicket") + "=OWN", 2, "1234", -1, "OWN"},
        {ippAttributes + TicketKey("JBALastInfoCheckboxTicket") + "=0", 2, "1234", -1, ""},
        // The dialogs send their own passcode as job-password.
        {ippAttributes + TicketKey("PrintTypeTicketKey") + "=2", 2, "1234", 2, "ACC9"},
        // The queue's defaults: the job's own attributes win.
        {defaults + TicketKey("PrintTypeTicketKey") + "=1 " + TicketKey("PrintTypeProductTypeTicketKey") + "=2", 2,
         "1234", 2, "ACC9"},
        {defaults + TicketKey("JBAManageTypeListTicketKey") + "=1 " + TicketKey("JBAAccountIDTextEditTicket") + "=OWN",
         2, "1234", 2, "ACC9"},
        {defaults + TicketKey("PrintDialogJobTicketKey") + "=no " + TicketKey("PrintTypeTicketKey") + "=1", 2, "1234",
         2, "ACC9"},
    };
    for (const Case& c : cases) {
        const Mapped mapped = Map(c.options, rule);
        EXPECT_EQ(mapped.refusal, "") << c.options;
        EXPECT_EQ(static_cast<int32_t>(mapped.record.printType.printType), c.printType) << c.options;
        EXPECT_STREQ(mapped.record.printType.password, c.password) << c.options;
        EXPECT_EQ(static_cast<int32_t>(mapped.record.jba.manageType), c.manageType) << c.options;
        EXPECT_STREQ(mapped.record.jba.accountId, c.accountId) << c.options;
        EXPECT_EQ(mapped.log.find("1234"), std::string::npos) << c.options;
    }
}

TEST(StandardJobAttributes, AccountingAttributesNameTheAccountAndTheUser)
{
    struct Case {
        std::string options;
        std::string owner;  // the job attributes' owner user; empty: the requesting user
        std::string account;
        std::string refusal;
    };
    const Case cases[] = {
        {"job-account-id=ACC9 job-accounting-user-id=bob", "bob", "ACC9", ""},
        {"job-account-id=ACC9", "", "ACC9", ""},
        {"job-accounting-user-id=bob", "bob", "", ""},
        {"job-accounting-user-id='J\\xC3\\xBCrgen M'", "J\xC3\xBCrgen M", "", ""},
        {"job-account-id=/49/50", "", "/49/50", ""},  // IPP values are taken as sent
        {"job-account-id= job-accounting-user-id=", "", "", ""},
        {"job-account-id=" + std::string(32, 'a'), "", std::string(32, 'a'), ""},
        {"job-account-id=" + std::string(33, 'a'), "", "", "job-account-id is longer than the 32 bytes"},
        {"job-accounting-user-id=" + std::string(97, 'u'), "", "", "job-accounting-user-id is longer than the 96"},
    };
    for (const Case& c : cases) {
        std::string options = c.options;
        // \xC3 style escapes stand for the bytes themselves.
        for (std::size_t at; (at = options.find("\\x")) != std::string::npos;)
            options.replace(at, 4, 1, static_cast<char>(std::stoi(options.substr(at + 2, 2), nullptr, 16)));
        const Mapped mapped = Map(options);
        if (!c.refusal.empty()) {
            EXPECT_NE(mapped.refusal.find(c.refusal), std::string::npos) << c.options << ": " << mapped.refusal;
            EXPECT_EQ(static_cast<int32_t>(mapped.record.jba.manageType), -1) << c.options;
            continue;
        }
        ASSERT_EQ(mapped.refusal, "") << c.options;
        const JobOwnerInfo owner = GetJobOwnerInfo(mapped.record);
        EXPECT_EQ(owner.user, c.owner) << c.options;
        EXPECT_EQ(owner.accountId, c.account) << c.options;
        EXPECT_EQ(owner.password, "") << c.options;
        EXPECT_EQ(owner.storageId, "") << c.options;
        // Accounting never changes the print type.
        EXPECT_EQ(static_cast<int32_t>(mapped.record.printType.printType), -1) << c.options;
    }
}

TEST(StandardJobAttributes, TheFilterPrintsTheMappedJobOrNothingAtAll)
{
    const std::string minimum = MinimumOption("ZLKMinDigitPasscode", "PW4");
    struct Case {
        const char* options;
        int exitCode;
        const char* error;  // the ERROR line's reason; empty when the job prints
        std::string ppdLines = "";
    };
    const Case cases[] = {
        {"job-password=4711 job-password-encryption=none job-account-id=ACC9 job-accounting-user-id=bob", 0, ""},
        {"job-password=47x1 job-password-encryption=none", 1, "job-password is not all digits"},
        {"job-password=471 job-password-encryption=none", 1, "job-password has 3 digits, fewer than the 4"},
        {"job-password=4711 job-password-encryption=md5", 1, "job-password-encryption is not \"none\""},
        {"job-password=4711", 1, "job-password asks for a held job, and this printer has no storage",
         Storage("PickOne", "None")},
    };
    for (const Case& c : cases) {
        SpoolerRun spooler;
        spooler.env["PPD"] = PpdWith(spooler.root, minimum + c.ppdLines);
        spooler.document = spooler.Pdf(1);
        spooler.options = c.options;
        const RunResult result = spooler.Run();
        EXPECT_EQ(result.exitCode, c.exitCode) << c.options << "\n" << result.err;
        EXPECT_TRUE(spooler.TmpFiles().empty()) << c.options;
        EXPECT_EQ(result.err.find("47x1"), std::string::npos) << c.options;
        EXPECT_EQ(result.err.find("4711"), std::string::npos) << c.options;
        if (c.exitCode != 0) {
            EXPECT_EQ(result.out, "") << c.options;
            EXPECT_NE(result.err.find(std::string("ERROR: The job is not printed: ") + c.error), std::string::npos)
                << c.options << "\n"
                << result.err;
            continue;
        }
        const RunResult inspected = InspectStream(result.out);
        ASSERT_EQ(inspected.exitCode, 0) << inspected.err;
        EXPECT_NE(inspected.out.find("JobPassword = 4711\n"), std::string::npos) << inspected.out;
        EXPECT_NE(inspected.out.find("SheetCollate = Collated\n"), std::string::npos) << inspected.out;
        EXPECT_NE(inspected.out.find("JOAU: bob\n"), std::string::npos) << inspected.out;
        EXPECT_NE(inspected.out.find("DAID: ACC9\n"), std::string::npos) << inspected.out;
    }
}

TEST(StandardJobAttributes, TheDialogsStoredPasscodeIsOpenedForThePrinter)
{
    using namespace zlk::secblob;
    // A storage blob of "2468", as the print type panel writes it.
    auto blobOf = [](const std::string& passcode) {
        uint8_t blob[2000];
        std::size_t length = sizeof blob;
        EXPECT_EQ(Encode_Storage(reinterpret_cast<const uint8_t*>(passcode.data()), passcode.size(), blob, &length),
                  kSecBlobSuccess);
        char text[4000] = {};
        SecBlobEnc_Base64_Encode(blob, length, text, sizeof text - 1);
        return std::string(text);
    };
    const std::string blob = blobOf("2468");
    struct Case {
        std::string value;
        bool encryptingModel;
        std::string expected;  // "(blob)": the value as written
    };
    for (const Case& c : std::vector<Case>{{blob, false, "2468"},
                                           {blob, true, "(blob)"},
                                           {"1357", false, "1357"},
                                           {"not a blob", false, "not a blob"}}) {
        const PasscodeRule rule{4, 12, c.encryptingModel};
        const Mapped mapped = Map(TicketKey("PrintTypeTicketKey") + "=2 " + TicketKey("PrintTypePasswordTicketKey") +
                                      "='" + c.value + "'",
                                  rule);
        EXPECT_EQ(mapped.record.printType.password, c.expected == "(blob)" ? c.value : c.expected) << c.value;
        if (c.encryptingModel) {
            EXPECT_EQ(OpenStored(mapped.record.printType.password), "2468");
        }
    }
}
