// The account plug-in as a host shows it: its panels and windows restored
// and played by the host library over the samples, the job options they
// make read by the built filter.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hosted.h"
#include "opensslcli.h"
#include "platform/widgets/controls.h"
#include "secblob/secblob.h"
#include "spooler.h"

namespace zlk::test {
namespace {

const std::string kKey = "com.zelko.jt.printsettings.pdf.ww.";

std::string Repeat(const std::string& text, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

// A yen sign is one byte in Shift-JIS (0x5C), so it counts one in the
// fields that are limited in Shift-JIS bytes.
TEST(AccountPanelsInAHost, YenSignCountsOneInUserAndDocumentNames)
{
    const std::string yen = "\xC2\xA5";
    const std::string sample = "choose PrintTypeTicketKey Job Type Sample\n";
    struct Case {
        std::string script, key, written;
    };
    const std::vector<Case> cases = {
        {sample + "type 1012 " + Repeat(yen, 13) + "\nok\n", "PrintTypeUserNameTicketKey", Repeat(yen, 13)},
        {sample + "type 1012 " + std::string(23, 'a') + yen + "\nok\n", "PrintTypeUserNameTicketKey",
         std::string(23, 'a') + yen},
        {sample + "type 1012 " + Repeat(yen, 24) + "b\nok\n", "PrintTypeUserNameTicketKey", Repeat(yen, 24)},
        {sample + "type 1012 alice\nchoose 1014 #2\ntype 1015 " + Repeat(yen, 65) + "\nok\n", "DocumentNameTicketKey",
         Repeat(yen, 64)},
    };
    for (const Case& c : cases) {
        HostedDialog hosted(SamplePPDPath("c4500"), {}, c.script);
        EXPECT_EQ(hosted.error, "") << c.script;
        EXPECT_TRUE(hosted.runner->Cancelled().empty()) << c.script;
        EXPECT_EQ(hosted.JobOptions()[kKey + c.key], c.written) << c.script;
    }
}

// Where the printer takes login names, a user name of spaces alone is one
// in the sample window as in the secure window; elsewhere it is refused.
TEST(AccountPanelsInAHost, LoginNameProductTakesAUserNameOfSpaces)
{
    TempDir dir;
    const std::string loginNames = EditedPPD(
        dir, SamplePPDPath("c4500"), {{"*ZLKXPrintTypeSettings", "*ZLKXPrintTypeSettings: \"Default04-ColorMFP\""}});
    struct Case {
        std::string ppd, script;
        bool refused;
    };
    const std::vector<Case> cases = {
        {loginNames, "choose PrintTypeTicketKey Job Type Sample\ntype 1012 \\s\\s\\s\nok\n", false},
        {loginNames, "choose PrintTypeTicketKey Job Type Secure\ntype 1022 \\s\\s\\s\ntype 1026 4321\nok\n", false},
        {SamplePPDPath("c4500"), "choose PrintTypeTicketKey Job Type Sample\ntype 1012 \\s\\s\\s\nok\n", true},
    };
    for (const Case& c : cases) {
        HostedDialog hosted(c.ppd, {}, c.script);
        EXPECT_EQ(hosted.runner->Cancelled().empty(), !c.refused) << c.ppd << " " << c.script;
        EXPECT_EQ(hosted.JobOptions()[kKey + "PrintTypeUserNameTicketKey"], c.refused ? "" : "   ") << c.script;
    }
}

// Without the prompt option the identification list and its caption both
// hide, and stay hidden when the panels are restored again.
TEST(AccountPanelsInAHost, IdentificationListHidesWithItsCaption)
{
    for (const auto& [model, shown] : std::vector<std::pair<std::string, bool>>{{"m2500", false}, {"c4500", true}}) {
        HostedDialog hosted(SamplePPDPath(model));
        for (int restores = 1; restores <= 2; ++restores) {
            for (const char* tag : {"1003", "1004"}) {
                EXPECT_EQ(hosted.Control(tag)["visible"], shown) << model << " " << tag << " restores " << restores;
            }
            hosted.dialog->Restore();
        }
    }
}

// The Quorvel accounting settings windows have no storage ID, storage
// password, account ID or their check boxes: none of them shows.
TEST(AccountPanelsInAHost, QuorvelSettingsWindowsShowNoFieldTheyDoNotHave)
{
    // Offsets from the window's first tag.
    const std::vector<int> absentOnQuorvel = {12, 13, 14, 15, 17, 18, 19, 20, 21};
    const std::vector<int> everywhere = {5, 8, 23};  // user ID list, user password, domain
    struct Case {
        std::string model, manageType;
        int base;
        bool quorvel;
    };
    for (const Case& c :
         std::vector<Case>{{"q6000", "2", 3001, true}, {"q6000", "1", 2001, true}, {"c4500", "2", 3001, false}}) {
        HostedDialog hosted(SamplePPDPath(c.model), {{kKey + "JBAManageTypeListReference", c.manageType}});
        std::map<int, bool> shown;
        hosted.toolkit.ScriptModal([&](widgets::Window& window) {
            for (const auto* offsets : {&absentOnQuorvel, &everywhere}) {
                for (int offset : *offsets) {
                    const widgets::Widget* widget = window.FindWidget(c.base + offset);
                    shown[offset] = widget && !widget->IsHidden();
                }
            }
            window.FindWidget(c.base + 1)->As<widgets::Button>()->UserClick();  // Cancel
        });
        hosted.dialog->Panels().front()->panelView()->FindWidget(1005)->As<widgets::Button>()->UserClick();
        ASSERT_EQ(hosted.toolkit.PendingModalScripts(), 0u) << c.model;
        for (int offset : absentOnQuorvel) {
            EXPECT_EQ(shown[offset], !c.quorvel) << c.model << " " << c.base + offset;
        }
        for (int offset : everywhere) {
            EXPECT_TRUE(shown[offset]) << c.model << " " << c.base + offset;
        }
    }
}

// The value of a job attribute in the filter's header; "(none)" without it.
std::string JobAttribute(const std::string& stream, const std::string& code)
{
    const std::string head = "@PJL SET JOBATTR=\"@" + code + "=";
    const auto at = stream.find(head);
    if (at == std::string::npos) {
        return "(none)";
    }
    const auto from = at + head.size();
    return stream.substr(from, stream.find('"', from) - from);
}

// Every password typed reaches the printer encrypted for it, and rests
// nowhere in clear; keys left empty are no password to warn about.
TEST(AccountPanelsInAHost, PasswordsReachThePrinterAndNeverRestInClear)
{
    struct Case {
        std::string model, script;
        std::string billingPassword;  // empty: none sent
    };
    const std::vector<Case> cases = {
        {"q6000",
         "press 1005\npress 3017\nok\nprint\ntype 4006 gina\npress 4009\ntype 4011 box\ntype 4013 90817263\nok\n",
         "90817263"},
        {"c4500", "", ""},
        {"m2500", "press 1005\npress 3017\nok\nprint\ntype 4015 erin\ntype 4008 pw1234\nok\n", ""},
    };
    for (const Case& c : cases) {
        HostedDialog hosted(SamplePPDPath(c.model), {}, c.script);
        std::string options;
        for (const auto& [key, value] : hosted.JobOptions()) {
            EXPECT_TRUE(c.billingPassword.empty() || value.find(c.billingPassword) == std::string::npos) << key;
            options += key + "='" + value + "' ";
        }
        ASSERT_TRUE(hosted.dialog->StoreSettings().ok());
        const std::string kept = ReadFile(hosted.dir.file("settings/office.json"));
        SpoolerRun spooler;
        spooler.env["PPD"] = SamplePPDPath(c.model);
        spooler.options = options;
        spooler.document = spooler.Pdf(1);
        const RunResult job = spooler.Run();
        EXPECT_EQ(job.exitCode, 0) << c.model << ": " << job.err;
        EXPECT_EQ(job.err.find("could not be opened"), std::string::npos) << c.model << ": " << job.err;
        const std::string sent = JobAttribute(job.out, "ACEP");
        if (c.billingPassword.empty()) {
            EXPECT_EQ(sent, "(none)") << c.model;
            continue;
        }
        EXPECT_EQ(kept.find(c.billingPassword), std::string::npos);
        EXPECT_EQ(job.out.find(c.billingPassword), std::string::npos);
        const auto blob = secblob::SecBlobEnc_Base64_Decode_Data(sent.c_str());
        ASSERT_TRUE(blob && !blob->empty()) << sent;
        EXPECT_EQ(OpenSslOpenKeyTransportBlob(*blob, FixturePath("keys/printer-dev-private.pem")), c.billingPassword);
    }
}

}  // namespace
}  // namespace zlk::test
