// zlk-queue-defaults: which driver defaults each printer description and
// request give, what it refuses, and the lpadmin run it makes.
#include <gtest/gtest.h>

#include <cups/cups.h>
#include <strings.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/ppdfile.h"
#include "process.h"
#include "spooler.h"
#include "testpdf.h"
#include "tools/queuedefaults/privatevalues.h"
#include "tools/queuedefaults/queuedefaults.h"

using namespace zlk::test;
using namespace zlk::queuedefaults;

namespace {

const std::string kTicket = "com.zelko.jt.printsettings.pdf.ww.";

// A sample PPD with some lines replaced, for descriptions the samples lack.
std::string EditedPpd(const TempDir& dir, const std::string& sample,
                      const std::vector<std::pair<std::string, std::string>>& edits)
{
    std::string text = ReadFile(SamplePpd(sample));
    for (const auto& [from, to] : edits) {
        std::size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos)
            text.replace(at, from.size(), to);
    }
    static int count = 0;
    std::string path = dir.file(std::to_string(++count) + "-" + sample);
    WriteFile(path, text);
    return path;
}

std::string Describe(const std::vector<Setting>& settings)
{
    std::string text;
    for (const Setting& setting : settings)
        text += setting.name + "=" + setting.value + ";";
    return text;
}

struct PlanCase {
    const char* what;
    std::string ppd;  // a sample name, or a path from EditedPpd
    Request request;
    std::string settings;  // expected, as Describe writes them; empty when refused
    std::string error = {};  // a part of the refusal
};

class QueueDefaultsPlan : public testing::Test {
protected:
    void Check(const PlanCase& c)
    {
        std::string path = c.ppd.find('/') == std::string::npos ? SamplePpd(c.ppd) : c.ppd;
        zlk::common::PPDHandle ppd = zlk::common::OpenPPD(path.c_str());
        ASSERT_TRUE(ppd) << path;
        Plan plan = PlanDefaults(ppd.get(), c.request);
        if (c.error.empty()) {
            EXPECT_EQ(plan.error, "") << c.what;
            EXPECT_EQ(Describe(plan.settings), c.settings) << c.what;
        } else {
            EXPECT_NE(plan.error.find(c.error), std::string::npos) << c.what << ": " << plan.error;
        }
    }
    TempDir dir;
};

TEST_F(QueueDefaultsPlan, EachSampleGivesThePrintTypeProductOfItsPanel)
{
    const PlanCase cases[] = {
        {"colour, UTF-8", "zelko-mfp-c4500.ppd", {}, "PrintTypeProductTypeTicketKey=0;"},
        {"Japanese, CP932", "zelko-mfp-c3500j.ppd", {}, "PrintTypeProductTypeTicketKey=1;"},
        {"entry model, CP932", "zelko-mfp-m2500.ppd", {}, "PrintTypeProductTypeTicketKey=2;"},
        {"Quorvel", "zelko-mfp-q6000.ppd", {}, "PrintTypeProductTypeTicketKey=4;"},
    };
    for (const PlanCase& c : cases)
        Check(c);
}

TEST_F(QueueDefaultsPlan, ProductNamesThePanelDoesNotKnowAndPanelsThatAreOff)
{
    const PlanCase cases[] = {
        {"the row after the product table's fourth",
         EditedPpd(dir, "zelko-mfp-c4500.ppd",
                   {{"\"Default00-ColorMFP\"\n*ZLKXAccounting", "\"Default03-X\"\n*ZLKXAccounting"}}),
         {},
         "PrintTypeProductTypeTicketKey=3;"},
        {"unknown product keeps the first row",
         EditedPpd(dir, "zelko-mfp-c4500.ppd",
                   {{"\"Default00-ColorMFP\"\n*ZLKXAccounting", "\"Default04-Y\"\n*ZLKXAccounting"}}),
         {},
         "PrintTypeProductTypeTicketKey=0;"},
        {"no help name: the whole value is the product",
         EditedPpd(dir, "zelko-mfp-c4500.ppd",
                   {{"\"Default00-ColorMFP\"\n*ZLKXAccounting", "\"Default02\"\n*ZLKXAccounting"}}),
         {},
         "PrintTypeProductTypeTicketKey=2;"},
        {"no print type panel, nothing asked",
         EditedPpd(dir, "zelko-mfp-c4500.ppd", {{"*ZLKXPrintTypeSettings:", "*ZLKXOtherSettings:"}}),
         {},
         "",
         "nothing to set"},
        {"Quorvel with print types switched off offers no panel",
         EditedPpd(dir, "zelko-mfp-q6000.ppd", {{"*ZLKXEnablePrintType: \"True\"", "*ZLKXEnablePrintType: \"False\""}}),
         {},
         "",
         "nothing to set"},
        {"Quorvel with accounting switched off offers neither",
         EditedPpd(dir, "zelko-mfp-q6000.ppd",
                   {{"*ZLKXEnableAccounting: \"True\"", "*ZLKXEnableAccounting: \"False\""}}),
         {.accounting = true},
         "",
         "no job accounting"},
    };
    for (const PlanCase& c : cases)
        Check(c);
}

TEST_F(QueueDefaultsPlan, PrintTypesFollowTheStorageThePrinterHas)
{
    const std::string noDisk =
        EditedPpd(dir, "zelko-mfp-c4500.ppd", {{"*DefaultZLKHardDisk: HardDisk", "*DefaultZLKHardDisk: None"}});
    const std::string noBooleanDisks =
        EditedPpd(dir, "zelko-mfp-m2500.ppd", {{"*DefaultZLKRAMDisk: True", "*DefaultZLKRAMDisk: False"}});
    const PlanCase cases[] = {
        {"secure, hard disk",
         "zelko-mfp-c4500.ppd",
         {.printType = 2},
         "PrintTypeProductTypeTicketKey=0;PrintTypeTicketKey=2;DocumentNameTypeTicketKey=1;"},
        {"sample, hard disk installed (Boolean)",
         "zelko-mfp-c3500j.ppd",
         {.printType = 3},
         "PrintTypeProductTypeTicketKey=1;PrintTypeTicketKey=3;DocumentNameTypeTicketKey=1;"},
        {"secure, RAM disk only",
         "zelko-mfp-m2500.ppd",
         {.printType = 2},
         "PrintTypeProductTypeTicketKey=2;PrintTypeTicketKey=2;DocumentNameTypeTicketKey=1;"},
        {"secure always there on the Quorvel without a disk",
         "zelko-mfp-q6000.ppd",
         {.printType = 2},
         "PrintTypeProductTypeTicketKey=4;PrintTypeTicketKey=2;DocumentNameTypeTicketKey=1;"},
        {"normal needs no disk and names nothing",
         noDisk,
         {.printType = 1},
         "PrintTypeProductTypeTicketKey=0;PrintTypeTicketKey=1;"},
        {"secure without a disk", noDisk, {.printType = 2}, "", "cannot hold jobs"},
        {"sample with neither Boolean disk", noBooleanDisks, {.printType = 3}, "", "cannot hold jobs"},
        {"delayed is per job", "zelko-mfp-c4500.ppd", {.printType = 4}, "", "cannot be a queue default"},
        {"no print type panel",
         EditedPpd(dir, "zelko-mfp-c4500.ppd", {{"*ZLKXPrintTypeSettings:", "*ZLKXOtherSettings:"}}),
         {.printType = 2},
         "",
         "offers no print types"},
    };
    for (const PlanCase& c : cases)
        Check(c);
}

TEST_F(QueueDefaultsPlan, AccountingChargesThePrintingUserWithTheSiteValues)
{
    const std::string on = "JBAManageTypeListTicketKey=2;JBAUserIDListCtrlTicket=1;JBAUserInputRadioBtnTicket=0;";
    const PlanCase cases[] = {
        {"accounting alone", "zelko-mfp-c3500j.ppd", {.accounting = true}, "PrintTypeProductTypeTicketKey=1;" + on},
        {"account and domain imply it",
         "zelko-mfp-m2500.ppd",
         {.account = "1,2", .domain = "corp"},
         "PrintTypeProductTypeTicketKey=2;" + on + "JBAAccountIDTextEditTicket=1,2;JBADomainNameTextEditTicket=corp;"},
        {"account of the field's 32 bytes",
         "zelko-mfp-c4500.ppd",
         {.account = std::string(32, '7')},
         "PrintTypeProductTypeTicketKey=0;" + on + "JBAAccountIDTextEditTicket=" + std::string(32, '7') + ";"},
        {"account longer than the field",
         "zelko-mfp-c4500.ppd",
         {.account = std::string(33, '7')},
         "",
         "1 to 32 bytes"},
        {"domain with a line break", "zelko-mfp-c4500.ppd", {.domain = "corp\nx"}, "", "without control characters"},
        {"domain not UTF-8", "zelko-mfp-c4500.ppd", {.domain = "corp\xff"}, "", "UTF-8"},
        {"no accounting panel",
         EditedPpd(dir, "zelko-mfp-c4500.ppd", {{"*ZLKXAccountingSettings:", "*ZLKXOtherSettings:"}}),
         {.account = "1"},
         "",
         "no job accounting"},
    };
    for (const PlanCase& c : cases)
        Check(c);
}

TEST_F(QueueDefaultsPlan, SingleKeysArePasswordFreeKnownAndInRange)
{
    auto set = [](std::string name, std::string value) {
        Request request;
        request.extra.push_back({std::move(name), std::move(value)});
        return request;
    };
    const PlanCase cases[] = {
        {"a known key, bare name", "zelko-mfp-c3500j.ppd", set("JBAAdminAccountIDTextEditTicket", "42"),
         "PrintTypeProductTypeTicketKey=1;JBAAdminAccountIDTextEditTicket=42;"},
        {"the whole key, and it overrides the PPD's product", "zelko-mfp-c3500j.ppd",
         set(kTicket + "PrintTypeProductTypeTicketKey", "3"), "PrintTypeProductTypeTicketKey=3;"},
        {"secure passcode", "zelko-mfp-c3500j.ppd", set("PrintTypePasswordTicketKey", "1234"), "", "is a password"},
        {"mailbox password", "zelko-mfp-c3500j.ppd", set("PrintTypeMBNPasswordTicketKey", "1"), "", "printers.conf"},
        {"user password, whole key", "zelko-mfp-c3500j.ppd", set(kTicket + "JBAUserPasswordTextEditTicket", "x"), "",
         "is a password"},
        {"admin storage password", "zelko-mfp-c3500j.ppd", set("JBAAdminStoragePasswordTextEditTicket", "x"), "",
         "is a password"},
        {"a password name the command does not know", "zelko-mfp-c3500j.ppd", set("SomeNewPASSWORDKey", "x"), "",
         "is a password"},
        {"unknown key", "zelko-mfp-c3500j.ppd", set("JBAUserIDTextEditTicket", "bob"), "", "unknown ticket key"},
        {"number out of range", "zelko-mfp-c3500j.ppd", set("PrintTypeTicketKey", "5"), "", "from 1 to 3"},
        {"not a number", "zelko-mfp-c3500j.ppd", set("JBAManageTypeListTicketKey", "two"), "", "from 1 to 2"},
        {"empty text", "zelko-mfp-c3500j.ppd", set("JBADomainNameTextEditTicket", ""), "", "1 to 64 bytes"},
    };
    for (const PlanCase& c : cases)
        Check(c);
}

TEST(QueueDefaultsValue, TextsReachTheFilterAsTyped)
{
    // The filter decodes the slash-decimal form; blanks and quotes are
    // escaped for lpadmin's option parser.
    const std::pair<std::string, std::string> cases[] = {
        {"1", "1"},
        {"corp", "corp"},
        {"a b", "a\\ b"},
        {"say \"hi\"", "say\\ \\\"hi\\\""},
        {"a,b", "/97/44/98"},
        {"O'N", "/79/39/78"},
        {"a\\b", "/97/92/98"},
        {"/x", "/47/120"},
        {"\xE7\xAC\xAC", "\xE7\xAC\xAC"},
        // libcups would send these as a collection, which the scheduler
        // drops though lpadmin succeeds ...
        {"{ab}", "/123/97/98/125"},
        {"{x=y z=w}", "/123/120/61/121/32/122/61/119/125"},
        {"{a}{b}", "/123/97/125/123/98/125"},
        {"{", "/123"},
        // ... but a brace further on is plain text to it.
        {"a{b}", "a{b}"},
        {"x}", "x}"},
        // As a boolean, which comes back in lower case.
        {"TRUE", "/84/82/85/69"},
        {"false", "/102/97/108/115/101"},
        {"truer", "truer"},
        // printers.conf drops blanks at either end, and a value of blanks.
        {"   ", "/32/32/32"},
        {" a", "/32/97"},
        {"a ", "/97/32"},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(OptionValue(text), value) << text;
}

// What the scheduler holds, read back, against what was asked: each
// difference is named by its setting.
TEST(QueueDefaultsValue, StoredValuesAreCheckedAgainstTheRequest)
{
    const std::vector<Setting> settings = {
        {"PrintTypeProductTypeTicketKey", "1"},
        {"JBAAccountIDTextEditTicket", "{ab}"},
        {"JBADomainNameTextEditTicket", "corp west"},
    };
    StoredDefaults stored;
    stored.values = {{"PrintTypeProductTypeTicketKey", {"1"}},
                     {"JBAAccountIDTextEditTicket", {"/123/97/98/125"}},
                     {"JBADomainNameTextEditTicket", {"corp west"}}};
    EXPECT_EQ(CheckStoredDefaults(settings, stored), "");

    stored.values.erase("JBAAccountIDTextEditTicket");
    EXPECT_EQ(CheckStoredDefaults(settings, stored),
              "the scheduler stored nothing for JBAAccountIDTextEditTicket instead of \"{ab}\"\n");
    stored.values["JBAAccountIDTextEditTicket"] = {"/123/97/98"};
    stored.values["JBADomainNameTextEditTicket"] = {"true", false, "boolean"};
    EXPECT_EQ(CheckStoredDefaults(settings, stored),
              "the scheduler stored \"{ab\" for JBAAccountIDTextEditTicket instead of \"{ab}\"\n"
              "the scheduler stored a boolean (true) for JBADomainNameTextEditTicket instead of \"corp west\"\n");

    EXPECT_EQ(CheckRemovedDefaults(StoredDefaults{}), "");
    EXPECT_EQ(CheckRemovedDefaults(stored),
              "the scheduler still holds \"{ab\" for JBAAccountIDTextEditTicket\n"
              "the scheduler still holds true for JBADomainNameTextEditTicket\n"
              "the scheduler still holds \"1\" for PrintTypeProductTypeTicketKey\n");
}

// lpadmin and the scheduler as far as driver defaults go (CUPS 2.4): each
// -o argument read as an option list, the value encoded by its looks (a
// leading "{" a collection, "true" or "false" a boolean, anything else a
// name), and kept when it is a name or a boolean; -R removes. A queue's
// job-hold-until-default is kept as given.
struct FakeScheduler {
    std::map<std::string, StoredValue> held;
    std::string holdUntil = "no-hold";
    std::vector<std::vector<std::string>> runs;
    int status = 0;
    std::string output;

    Runner runner()
    {
        return [this](const std::vector<std::string>& argv, std::string& out) {
            runs.push_back(argv);
            out = output;
            if (status != 0)
                return status;
            const std::string prefix = kTicket, suffix = "-default";
            auto key = [&](std::string name) {
                name.erase(0, prefix.size());
                return name.substr(0, name.size() - suffix.size());
            };
            for (std::size_t i = 1; i + 1 < argv.size(); ++i) {
                if (argv[i] == "-R") {
                    held.erase(key(argv[++i]));
                } else if (argv[i] == "-o") {
                    cups_option_t* options = nullptr;
                    const int count = cupsParseOptions(argv[++i].c_str(), 0, &options);
                    for (int k = 0; k < count; ++k) {
                        const std::string value = options[k].value;
                        if (std::string(options[k].name) == "job-hold-until-default") {
                            holdUntil = value;
                            continue;
                        }
                        if (value.starts_with('{'))
                            continue;
                        if (strcasecmp(value.c_str(), "true") == 0 || strcasecmp(value.c_str(), "false") == 0)
                            held[key(options[k].name)] = {strcasecmp(value.c_str(), "true") == 0 ? "true" : "false",
                                                          false, "boolean"};
                        else
                            held[key(options[k].name)] = {value};
                    }
                    cupsFreeOptions(count, options);
                }
            }
            return 0;
        };
    }
    DefaultsReader reader()
    {
        return [this](const std::string&, const std::string&) {
            StoredDefaults stored;
            stored.values = held;
            stored.holdUntil = holdUntil;
            return stored;
        };
    }
};

struct CommandCase {
    const char* what;
    std::vector<std::string> args;
    int exitCode;
    std::vector<std::string> out;  // parts of standard output, in this order
    std::vector<std::string> err;  // parts of standard error, in this order
    bool runs = {};  // lpadmin is run
};

bool ContainsInOrder(const std::string& text, const std::vector<std::string>& parts)
{
    std::size_t at = 0;
    for (const std::string& part : parts) {
        at = text.find(part, at);
        if (at == std::string::npos)
            return false;
        at += part.size();
    }
    return true;
}

// Every policy of the scheduler lists the driver's password keys among the
// job values only the owner and administrators see, whatever it listed.
TEST(QueueDefaultsPasswords, EveryPolicyKeepsThemPrivate)
{
    std::string keys;
    for (const std::string& key : PasswordKeys())
        keys += " " + key;
    const struct {
        std::string conf;
        std::string wanted;  // empty: unchanged
    } cases[] = {
        {"<Policy default>\n  <Limit All>\n  </Limit>\n</Policy>\n",
         "<Policy default>\n  <Limit All>\n  </Limit>\n  JobPrivateValues default" + keys + "\n</Policy>\n"},
        {"<Policy a>\n  JobPrivateValues default\n</Policy>\n<Policy b>\n  JobPrivateValues job-name\n</Policy>\n",
         "<Policy a>\n  JobPrivateValues default" + keys + "\n</Policy>\n<Policy b>\n  JobPrivateValues job-name" +
             keys + "\n</Policy>\n"},
        {"<Policy a>\n\tJobPrivateValues none\n</Policy>\n", "<Policy a>\n\tJobPrivateValues" + keys + "\n</Policy>\n"},
        {"<Policy a>\n  JobPrivateValues all\n</Policy>\n", ""},
        {"<Policy a>\n  JobPrivateValues default" + keys + "\n</Policy>\n", ""},
        {"Listen localhost:631\n# <Policy x> in a comment\n", ""},
    };
    for (const auto& c : cases) {
        bool changed = false;
        const std::string result = WithPrivatePasswords(c.conf, changed);
        EXPECT_EQ(changed, !c.wanted.empty()) << c.conf;
        EXPECT_EQ(result, c.wanted.empty() ? c.conf : c.wanted) << c.conf;
    }
}

TEST(QueueDefaultsCommand, ArgumentsRefusalsAndTheLpadminRun)
{
    const std::string c3500j = SamplePpd("zelko-mfp-c3500j.ppd");
    const std::string key = kTicket;
    const CommandCase cases[] = {
        {"help", {"--help"}, 0, {"usage: zlk-queue-defaults", "PrintTypeProductTypeTicketKey"}, {}},
        {"dry run prints and runs nothing",
         {"--dry-run", "--ppd", c3500j, "office"},
         0,
         {key + "PrintTypeProductTypeTicketKey-default=1\nwould run: lpadmin -p office -o " + key +
          "PrintTypeProductTypeTicketKey-default=1\n"},
         {}},
        {"server passed on",
         {"--dry-run", "--ppd", c3500j, "-h", "srv:631", "office"},
         0,
         {"would run: lpadmin -h srv:631 -p office "},
         {}},
        {"sets through lpadmin",
         {"--ppd", c3500j, "--print-type", "sample", "office"},
         0,
         {"PrintTypeTicketKey-default=3"},
         {},
         true},
        {"removes every key it sets", {"--remove", "office"}, 0, {"removed the driver defaults of office"}, {}, true},
        {"remove, dry run",
         {"--remove", "--dry-run", "office"},
         0,
         {"lpadmin -p office -R " + key + "PrintTypeProductTypeTicketKey-default -R "},
         {}},
        {"unknown option", {"--colour", "office"}, 2, {}, {"unknown option or missing value: --colour"}},
        {"option without its value", {"office", "--account"}, 2, {}, {"unknown option or missing value: --account"}},
        {"no queue", {"--dry-run"}, 2, {}, {"no queue given"}},
        {"two queues", {"a", "b"}, 2, {}, {"more than one queue: b"}},
        {"print type by an unknown name", {"--print-type", "mailbox", "office"}, 2, {}, {"not one of normal"}},
        {"--set without a value", {"--set", "PrintTypeTicketKey", "office"}, 2, {}, {"NAME=VALUE"}},
        {"password refused, nothing run",
         {"--ppd", c3500j, "--set", "PrintTypePasswordTicketKey=1234", "office"},
         2,
         {},
         {"PrintTypePasswordTicketKey is a password", "nothing set"}},
        {"PPD that does not read", {"--ppd", "/nonexistent.ppd", "office"}, 1, {}, {"cannot read"}},
        {"asks at print time",
         {"--ppd", c3500j, "--ask-at-print-time", "office"},
         0,
         {"office holds every job"},
         {},
         true},
        {"stops asking, dry run",
         {"--dry-run", "--ppd", c3500j, "--no-ask-at-print-time", "-h", "srv", "office"},
         0,
         {"would run: lpadmin -h srv -p office -o job-hold-until-default=no-hold\n"},
         {}},
        {"another driver's queue is not held",
         {"--ppd", FixturePath("ppd/nofilter.ppd"), "--ask-at-print-time", "office"},
         2,
         {},
         {"office: ", "not a Zelko queue", "nothing set"}},
        {"asking takes no other setting", {"--ask-at-print-time", "--accounting", "office"}, 2, {}, {"of their own"}},
    };
    for (const CommandCase& c : cases) {
        std::ostringstream out, err;
        FakeScheduler scheduler;
        EXPECT_EQ(RunCommand(c.args, out, err, scheduler.runner(), scheduler.reader()), c.exitCode) << c.what << "\n"
                                                                                                    << err.str();
        EXPECT_TRUE(ContainsInOrder(out.str(), c.out)) << c.what << "\n" << out.str();
        EXPECT_TRUE(ContainsInOrder(err.str(), c.err)) << c.what << "\n" << err.str();
        EXPECT_EQ(scheduler.runs.size(), c.runs ? 1u : 0u) << c.what;
        if (c.runs && !scheduler.runs.empty()) {
            EXPECT_EQ(scheduler.runs[0][0], "lpadmin") << c.what;
        }
    }
}

// lpadmin succeeds whatever the scheduler makes of a value: the command
// reads the defaults back and fails, naming each setting the scheduler
// holds otherwise than asked.
TEST(QueueDefaultsCommand, ValuesTheSchedulerWouldNotKeepAreSentSoItKeepsThem)
{
    const std::string ppd = SamplePpd("zelko-mfp-c4500.ppd");
    for (const std::string account :
         {"{ab}", "{x=y z=w}", "{a}{b}", "TRUE", "False", "   ", " a ", "1,2 'x'", "a\\b"}) {
        FakeScheduler scheduler;
        std::ostringstream out, err;
        EXPECT_EQ(RunCommand({"--ppd", ppd, "--account", account, "--domain", "{corp}", "office"}, out, err,
                             scheduler.runner(), scheduler.reader()),
                  0)
            << account << "\n"
            << err.str();
        EXPECT_EQ(err.str(), "") << account;
    }
}

TEST(QueueDefaultsCommand, WhatTheSchedulerHoldsOtherwiseFailsTheCommandNamingTheSetting)
{
    const std::string ppd = SamplePpd("zelko-mfp-c4500.ppd");
    // A scheduler that drops the account id (as with "{ab}" sent plainly).
    FakeScheduler scheduler;
    auto run = [&](const std::vector<std::string>& argv, std::string& output) {
        const int status = scheduler.runner()(argv, output);
        scheduler.held.erase("JBAAccountIDTextEditTicket");
        scheduler.held["JBADomainNameTextEditTicket"] = {"true", false, "boolean"};
        return status;
    };
    std::ostringstream out, err;
    EXPECT_EQ(RunCommand({"--ppd", ppd, "--account", "{ab}", "--domain", "True", "office"}, out, err, run,
                         scheduler.reader()),
              1);
    EXPECT_EQ(err.str(),
              "zlk-queue-defaults: the scheduler stored nothing for JBAAccountIDTextEditTicket instead of \"{ab}\"\n"
              "zlk-queue-defaults: the scheduler stored a boolean (true) for JBADomainNameTextEditTicket instead of "
              "\"True\"\n"
              "zlk-queue-defaults: the defaults of office are not as asked; jobs would carry what the scheduler holds "
              "(zlk-queue-defaults --remove office takes every one away)\n");

    // A scheduler that cannot be asked.
    std::ostringstream out2, err2;
    auto unreadable = [](const std::string&, const std::string&) {
        StoredDefaults stored;
        stored.error = "Unauthorized";
        return stored;
    };
    EXPECT_EQ(RunCommand({"--ppd", ppd, "office"}, out2, err2, FakeScheduler().runner(), unreadable), 1);
    EXPECT_NE(err2.str().find("could not be read back from the scheduler: Unauthorized"), std::string::npos)
        << err2.str();

    // Removed defaults that stay.
    FakeScheduler keeps;
    keeps.held["PrintTypeTicketKey"] = {"2"};
    auto ignoreRemove = [](const std::vector<std::string>&, std::string&) { return 0; };
    std::ostringstream out3, err3;
    EXPECT_EQ(RunCommand({"--remove", "office"}, out3, err3, ignoreRemove, keeps.reader()), 1);
    EXPECT_NE(err3.str().find("the scheduler still holds \"2\" for PrintTypeTicketKey"), std::string::npos)
        << err3.str();

    // A queue that goes on printing at once.
    std::ostringstream out4, err4;
    EXPECT_EQ(
        RunCommand({"--ppd", ppd, "--ask-at-print-time", "office"}, out4, err4, ignoreRemove, FakeScheduler().reader()),
        1);
    EXPECT_EQ(err4.str(),
              "zlk-queue-defaults: the scheduler holds job-hold-until-default=no-hold for office instead of "
              "indefinite\n");
}

TEST(QueueDefaultsCommand, LpadminRunsAndFailuresAreReported)
{
    const std::string ppd = SamplePpd("zelko-mfp-m2500.ppd");
    FakeScheduler scheduler;
    scheduler.status = 1;
    scheduler.output = "lpadmin: The printer or class does not exist.";
    std::ostringstream out, err;
    EXPECT_EQ(
        RunCommand({"--ppd", ppd, "--account", "dept 7", "office"}, out, err, scheduler.runner(), scheduler.reader()),
        1);
    ASSERT_EQ(scheduler.runs.size(), 1u);
    const std::vector<std::string>& seen = scheduler.runs[0];
    EXPECT_NE(err.str().find("lpadmin failed (1): lpadmin: The printer or class does not exist."), std::string::npos)
        << err.str();
    const std::vector<std::string> expected = {"lpadmin",
                                               "-p",
                                               "office",
                                               "-o",
                                               kTicket + "PrintTypeProductTypeTicketKey-default=2",
                                               "-o",
                                               kTicket + "JBAManageTypeListTicketKey-default=2",
                                               "-o",
                                               kTicket + "JBAUserIDListCtrlTicket-default=1",
                                               "-o",
                                               kTicket + "JBAUserInputRadioBtnTicket-default=0",
                                               "-o",
                                               kTicket + "JBAAccountIDTextEditTicket-default=dept\\ 7"};
    EXPECT_EQ(seen, expected);

    // The real runner: exit status and output of the program.
    std::string output;
    EXPECT_EQ(zlk::queuedefaults::RunProgram({"sh", "-c", "echo out; echo err >&2; exit 3"}, output), 3);
    EXPECT_EQ(output, "out\nerr\n");
    EXPECT_EQ(zlk::queuedefaults::RunProgram({"/nonexistent/lpadmin"}, output), -1);
}

TEST(QueueDefaultsCommand, TheProgramPrintsItsHelpAndRefusesPasswords)
{
    RunOptions run;
    run.env = {{"PATH", "/usr/bin:/bin"}};
    run.args = {"zlk-queue-defaults", "--help"};
    RunResult help = zlk::test::RunProgram(ZLK_QUEUEDEFAULTS_BINARY, run);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Passwords and passcodes are refused"), std::string::npos) << help.out;
    run.args = {"zlk-queue-defaults",
                "--ppd",
                SamplePpd("zelko-mfp-c4500.ppd"),
                "--set",
                "JBAInputUserPasswordTextEditTicket=x",
                "office"};
    RunResult refused = zlk::test::RunProgram(ZLK_QUEUEDEFAULTS_BINARY, run);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("is a password"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
}

}  // namespace
