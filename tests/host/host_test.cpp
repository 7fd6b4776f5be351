// The print dialog host: finding and loading the plug-in bundles, running
// their panels over a PPD, and zlk-print on the command line.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/printdialog.h"
#include "host/script.h"

#include <nlohmann/json.hpp>

#include "platform/widgets/headless.h"
#include "process.h"
#include "testpdf.h"
#include <algorithm>

namespace zlk::test {
namespace {

namespace fs = std::filesystem;

const fs::path kPlugins = ZLK_PLUGIN_BUILD_DIR;
const fs::path kSamples = ZLK_SAMPLE_PPD_DIR;

TEST(PluginHost, FoldersAndBundles)
{
    using host::PluginFolders;
    EXPECT_EQ(PluginFolders(nullptr, "/inst"), std::vector<fs::path>{"/inst"});
    EXPECT_EQ(PluginFolders("", "/inst"), std::vector<fs::path>{"/inst"});
    EXPECT_EQ(PluginFolders("/a::/b:", "/inst"), (std::vector<fs::path>{"/a", "/b"}));

    TempDir dir;
    const fs::path first = fs::path(dir.path()) / "first";
    const fs::path second = fs::path(dir.path()) / "second";
    auto bundle = [](const fs::path& folder, const std::string& name, bool module, bool info) {
        fs::create_directories(folder / (name + ".plugin"));
        if (module) {
            std::ofstream(folder / (name + ".plugin") / (name + ".so")) << "not a module";
        }
        if (info) {
            std::ofstream(folder / (name + ".plugin") / "Info.json") << "{}";
        }
    };
    bundle(first, "Beta", true, true);
    bundle(first, "NoModule", false, true);
    bundle(first, "NoInfo", true, false);
    bundle(second, "Alpha", true, true);
    bundle(second, "Beta", true, true);  // the first folder's wins
    const auto found = host::FindPluginBundles({first, second, fs::path(dir.path()) / "missing"});
    std::vector<std::string> names;
    for (const auto& b : found) {
        names.push_back(b.name);
    }
    // Damaged bundles are listed too, so that loading them says what is wrong.
    ASSERT_EQ(names, (std::vector<std::string>{"Alpha", "Beta", "NoInfo", "NoModule"}));
    EXPECT_EQ(found[1].folder, first / "Beta.plugin");
    fs::create_directories(first / "NoModule.plugin" / "Resources");
    fs::create_directories(second / "Alpha.plugin" / "Resources");
    const std::vector<std::string> problems = {
        "Alpha.plugin is damaged: its module cannot be loaded",
        "",  // Beta: the folder with no Resources is the next case
        "NoInfo.plugin is damaged: " + (first / "NoInfo.plugin").string() + " has no Info.json",
        "NoModule.plugin is damaged: it has no module NoModule.so",
    };
    for (std::size_t i = 0; i < found.size(); ++i) {
        std::string error;
        EXPECT_EQ(host::LoadedPlugIn::Load(found[i], &error), nullptr) << found[i].name;
        const std::string wanted =
            problems[i].empty() ? "Beta.plugin is damaged: " + found[i].folder.string() + " has no Resources folder"
                                : problems[i];
        EXPECT_NE(error.find(wanted), std::string::npos) << error;
    }
}

TEST(PrintDialogHost, PanelsWriteTheJobOptionsAndTheSettingsAreKept)
{
    TempDir dir;
    widgets::HeadlessToolkit toolkit;
    host::PrintDialog::Setup setup;
    setup.queue = "office";
    setup.ppd = kSamples / "zelko-mfp-c4500.ppd";
    setup.initial = {{"ZLKStaple", "LeftDoublePort"}, {"ZLKStaple", "NoSuchChoice"}, {"copies", "2"}};
    setup.settingsFolder = fs::path(dir.path()) / "settings";
    setup.pluginFolders = {kPlugins};
    setup.toolkit = &toolkit;
    std::string error;
    auto dialog = host::PrintDialog::Open(setup, &error);
    ASSERT_NE(dialog, nullptr) << error;
    // Features, then accounting and print type.
    ASSERT_EQ(dialog->Panels().size(), 3u);
    EXPECT_TRUE(dialog->Restore());
    ASSERT_TRUE(dialog->Print());
    ASSERT_EQ(dialog->Notices().size(), 1u);
    EXPECT_NE(dialog->Notices().front().find("NoSuchChoice"), std::string::npos);
    const std::vector<host::JobOption> options = dialog->JobOptions();
    auto value = [&](const std::string& name) {
        for (const auto& [key, text] : options) {
            if (key == name) {
                return text;
            }
        }
        return std::string("(none)");
    };
    EXPECT_EQ(value("ZLKStaple"), "LeftDoublePort");
    EXPECT_EQ(value("copies"), "2");
    EXPECT_EQ(value("com.zelko.jt.printsettings.pdf.ww.PrintTypeTicketKey"), "1");
    EXPECT_EQ(value("com.zelko.jt.printsettings.pdf.ww.JBAManageTypeListTicketKey"), "2");
    for (const auto& [key, text] : options) {
        EXPECT_EQ(key.find("Reference"), std::string::npos) << "last input stays here: " << key;
    }
    EXPECT_TRUE(std::is_sorted(options.begin(), options.end()));

    ASSERT_TRUE(dialog->StoreSettings().ok());
    struct stat info {};
    ASSERT_EQ(stat((setup.settingsFolder / "office.json").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // A damaged settings file is moved aside and reported.
    std::ofstream(setup.settingsFolder / "office.json") << "{ damaged";
    setup.initial.clear();
    auto again = host::PrintDialog::Open(setup, &error);
    ASSERT_NE(again, nullptr) << error;
    ASSERT_FALSE(again->Notices().empty());
    EXPECT_NE(again->Notices().front().find("not used"), std::string::npos);
}

TEST(ZlkPrint, CommandLine)
{
    TempDir dir;
    auto run = [&](std::vector<std::string> args) {
        RunOptions options;
        options.env = {{"ZLK_PLUGIN_PATH", kPlugins.string()},
                       {"XDG_CONFIG_HOME", dir.path()},
                       {"CUPS_SERVER", "/nonexistent/cups.sock"},
                       {"PATH", "/usr/bin:/bin"}};
        args.insert(args.begin(), ZLK_PRINT_BINARY);
        options.args = args;
        return RunProgram(ZLK_PRINT_BINARY, options);
    };
    const std::string ppd = (kSamples / "zelko-mfp-m2500.ppd").string();
    const RunResult first = run({"--ppd", ppd, "-o", "ZLKStaple=None", "--options"});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_NE(first.out.find("com.zelko.jt.printsettings.pdf.ww.PrintTypeProductTypeTicketKey=2\n"), std::string::npos);
    const RunResult second = run({"--ppd", ppd, "-o", "ZLKStaple=None", "--options"});
    // Stable, apart from the start time the delayed print would be dated with.
    auto withoutDate = [](std::string text) {
        const auto at = text.find("DelayPrintTicketKey=");
        return at == std::string::npos ? text : text.erase(at, text.find('\n', at) - at);
    };
    EXPECT_EQ(withoutDate(first.out), withoutDate(second.out));
    // Showing the options is not printing: nothing is kept for the next dialog.
    EXPECT_FALSE(fs::exists(fs::path(dir.path()) / "zelko" / "printsettings" / "zelko-mfp-m2500.json"));

    const std::string pdf = dir.file("four.pdf");
    WriteTestPdf(pdf, 4);
    struct Usage {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    };
    for (const Usage& u : std::vector<Usage>{
             {{"--bogus"}, 2, "unknown option"},
             {{"-o", "novalue", "--options"}, 2, "NAME=VALUE"},
             {{"--ppd", ppd, "-o", "foo=a\nDefault other", "--options"},
              2,
              "foo=...: the value has a control character"},
             {{"--ppd", ppd, "-o", "foo=a\tb", "--options"}, 2, "control character"},
             {{"-d"}, 2, "needs a queue"},
             {{"--ppd", ppd, "file.pdf"}, 2, "--ppd shows the options only"},
             {{"-d", "nosuchqueue", pdf}, 2, "unknown to the scheduler"},
             // The documents are checked before any panel shows.
             {{"-d", "nosuchqueue", dir.file("missing.pdf")}, 2, "missing.pdf\" cannot be read"},
             {{"-d", "nosuchqueue", "-o", "page-ranges=7-9", pdf}, 2, "selects no page of"},
             {{"-d", "nosuchqueue", "-o", "page-ranges=9-7", pdf}, 2, "is not valid"},
             {{"--ppd", "/nonexistent.ppd", "--options"}, 2, "the PPD /nonexistent.ppd does not exist"},
             {{"--ppd", std::string(ZLK_TEST_FIXTURES) + "/ppd/nofilter.ppd", "-o", "foo=bar", "--options"},
              0,
              "no dialog plug-in serves this printer"},
             {{"--help"}, 0, ""}}) {
        const RunResult result = run(u.args);
        EXPECT_EQ(result.exitCode, u.exitCode) << u.args.front();
        EXPECT_NE(result.err.find(u.message), std::string::npos) << u.args.front() << ": " << result.err;
    }
}

}  // namespace
}  // namespace zlk::test

namespace zlk::test {
namespace {

TEST(ZlkPrintScript, ParsingRefusesWhatIsNotAnAction)
{
    struct Case {
        std::string text;
        std::string error;  // empty: parsed
        std::size_t steps;
    };
    const std::vector<Case> cases = {
        {"# comment\n\nchoose ZLKStaple LeftDoublePort\ncheck 106\ntype 313 12\nok\nprint\nanswer 2\n", "", 6},
        {"type 1025 \\sspaced out\\s", "", 1},
        {"type 1025", "", 1},
        {"frobnicate", "line 1: \"frobnicate\" is not an action", 0},
        {"ok now", "line 1: ok takes nothing after it", 0},
        {"choose ZLKStaple", "line 1: choose needs a value after the control", 0},
        {"step 212 five", "line 1: step needs a whole number", 0},
        {"answer 0", "line 1: answer needs a button number from 1", 0},
        {"check 106 107", "line 1: check takes only a control", 0},
        {"\ntype 1 \xff\xfe", "line 2: the text is not UTF-8", 0},
        {"type 1 a\x01z", "line 1: a control character", 0},
        {"type 1025 a\rb", "line 1: a control character", 0},
        {"press 10\r5", "line 1: a control character", 0},
        {"type 1 a\x7Fz", "line 1: a control character", 0},
        {"check 106\r\nok\r\n", "", 2},
        {"type 1 " + std::string(10000, 'x'), "", 1},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto steps = host::ParseScript(c.text, &error);
        EXPECT_EQ(error, c.error) << c.text.substr(0, 40);
        EXPECT_EQ(steps ? steps->size() : 0u, c.steps) << c.text.substr(0, 40);
    }
}

TEST(ZlkPrintScript, PanelsAndWindowsAsAPersonUsesThem)
{
    TempDir dir;
    struct Case {
        std::string what, model, script;
        int exitCode;
        std::vector<std::string> options;  // lines expected in --options
        std::string message;  // expected in the error output
        std::vector<std::string> extra = {};  // more arguments
    };
    const std::string key = "com.zelko.jt.printsettings.pdf.ww.";
    const std::vector<Case> cases = {
        {"secure print",
         "c4500",
         "choose PrintTypeTicketKey Job Type Secure\ntype 1022 alice\ntype 1026 4321\nok\n",
         0,
         {key + "PrintTypeTicketKey=2", key + "PrintTypeUserNameTicketKey=alice"},
         ""},
        {"booklet margin",
         "c4500",
         "choose ZLKSignature LeftSig\ncheck 106\npress 107\ntype 313 12\nok\n",
         0,
         {"ZLKSignature=LeftSig", key + "BookletMarginMMShiftTicket=24"},
         ""},
        {"accounting typed at print time",
         "m2500",
         "press 1005\npress 3017\nok\nprint\ntype 4015 erin\ntype 4008 pw1234\nok\n",
         0,
         {key + "JBAInputUserIDTextEditTicket=erin", key + "JBAUserInputRadioBtnTicket=1"},
         ""},
        {"input window left unanswered", "m2500", "press 1005\npress 3017\nok\n", 1, {}, "was cancelled"},
        {"no such control", "c4500", "type NoSuchKey x\n", 2, {}, "line 1: no control named \"NoSuchKey\""},
        {"disabled item",
         "c4500",
         "choose PrintTypeTicketKey Job Type Secure\n",
         2,
         {},
         "cannot be chosen",
         {"-o", "ZLKHardDisk=None"}},
        // What an administrator's script needs to check its work.
        {"summary",
         "c4500",
         "choose PrintTypeTicketKey Job Type Secure\ntype 1022 alice\ntype 1026 4321\nok\nchoose ZLKColorMode Black\n",
         0,
         {"Print Type", "  Print Type: Secure Print", "  Color Mode: Black and White"},
         "",
         {"--summary"}},
        {"alert told",
         "c4500",
         "choose PrintTypeTicketKey Job Type Secure\ntype 1022 alice\ntype 1026 12\nok\ntype 1026 4321\nok\n",
         0,
         {key + "PrintTypeTicketKey=2"},
         "zlk-print: alert: \"Enter a passcode of 4 to 12 digits.\", answered \"OK\""},
        {"tag in two panels", "c4500", "choose 1001 #1\n", 2, {}, "name one of JobAccounting/1001, PrintFeatures/1001"},
        {"tag of one panel",
         "c4500",
         "choose PrintType/101 #3\ntype 1012 bob\nok\n",
         0,
         {key + "PrintTypeTicketKey=3", key + "PrintTypeUserNameTicketKey=bob"},
         ""},
        {"unknown panel", "c4500", "choose Nowhere/101 #1\n", 2, {}, "no panel named \"Nowhere\""},
    };
    for (const Case& c : cases) {
        const fs::path script = fs::path(dir.path()) / "actions.zlk";
        std::ofstream(script) << c.script;
        RunOptions options;
        options.env = {{"ZLK_PLUGIN_PATH", kPlugins.string()},
                       {"XDG_CONFIG_HOME", (fs::path(dir.path()) / c.what).string()},
                       {"PATH", "/usr/bin:/bin"}};
        options.args = {ZLK_PRINT_BINARY, "--ppd",         (kSamples / ("zelko-mfp-" + c.model + ".ppd")).string(),
                        "--script",       script.string(), "--options"};
        options.args.insert(options.args.end(), c.extra.begin(), c.extra.end());
        const RunResult run = RunProgram(ZLK_PRINT_BINARY, options);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.what << ": " << run.err;
        for (const std::string& line : c.options) {
            EXPECT_NE(run.out.find(line + "\n"), std::string::npos) << c.what << ": " << line;
        }
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.what << ": " << run.err;
    }
}

}  // namespace
}  // namespace zlk::test

namespace zlk::test {
namespace {

using nlohmann::json;

// The part of JSON Schema the description's schema uses: type, enum,
// required, properties, items and local $ref. Answers where the document
// breaks the schema, or nothing.
std::string Violation(const json& schema, const json& value, const json& root, const std::string& at)
{
    if (schema.contains("$ref")) {
        const std::string ref = schema["$ref"];
        return Violation(root["definitions"][ref.substr(ref.rfind('/') + 1)], value, root, at);
    }
    if (schema.contains("enum") &&
        std::find(schema["enum"].begin(), schema["enum"].end(), value) == schema["enum"].end()) {
        return at + ": " + value.dump() + " is not one of the allowed values";
    }
    if (schema.contains("type")) {
        const std::string type = schema["type"];
        const bool matches = (type == "object" && value.is_object()) || (type == "array" && value.is_array()) ||
                             (type == "string" && value.is_string()) ||
                             (type == "integer" && value.is_number_integer()) ||
                             (type == "boolean" && value.is_boolean());
        if (!matches) {
            return at + ": not " + type;
        }
    }
    for (const auto& name : schema.value("required", json::array())) {
        if (!value.contains(name.get<std::string>())) {
            return at + ": " + name.get<std::string>() + " is missing";
        }
    }
    if (schema.contains("properties") && value.is_object()) {
        for (const auto& [name, sub] : schema["properties"].items()) {
            if (value.contains(name)) {
                if (std::string why = Violation(sub, value[name], root, at + "." + name); !why.empty()) {
                    return why;
                }
            }
        }
    }
    if (schema.contains("items") && value.is_array()) {
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (std::string why = Violation(schema["items"], value[i], root, at + "[" + std::to_string(i) + "]");
                !why.empty()) {
                return why;
            }
        }
    }
    return {};
}

TEST(ZlkPrint, DescriptionsFollowTheirSchema)
{
    TempDir dir;
    std::ifstream schemaFile(ZLK_DESCRIBE_SCHEMA);
    const json schema = json::parse(schemaFile);
    // The schema catches what it should.
    EXPECT_NE(Violation(schema, json{{"printer", 1}}, schema, "$"), "");
    for (const char* model : {"c4500", "c3500j", "m2500", "q6000"}) {
        RunOptions options;
        options.env = {
            {"ZLK_PLUGIN_PATH", kPlugins.string()}, {"XDG_CONFIG_HOME", dir.path()}, {"PATH", "/usr/bin:/bin"}};
        options.args = {ZLK_PRINT_BINARY, "--ppd", (kSamples / (std::string("zelko-mfp-") + model + ".ppd")).string(),
                        "--describe"};
        const RunResult run = RunProgram(ZLK_PRINT_BINARY, options);
        ASSERT_EQ(run.exitCode, 0) << model << ": " << run.err;
        const json description = json::parse(run.out, nullptr, false);
        ASSERT_FALSE(description.is_discarded()) << model;
        EXPECT_EQ(Violation(schema, description, schema, "$"), "") << model;
        EXPECT_EQ(description["panels"].size(), 3u) << model;
        EXPECT_FALSE(description["windows"].empty()) << model;
    }
}

}  // namespace
}  // namespace zlk::test
