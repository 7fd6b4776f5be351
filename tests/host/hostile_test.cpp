// Hostile input to zlk-print, replayed as it was found: PPDs, plug-in
// bundles, stored settings and scripts made to hang, exhaust or mislead the
// host. Each run must end within a stated time and memory, and say what is
// wrong where something is.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "host/pluginhost.h"
#include "process.h"
#include "spooler.h"
#include "testpdf.h"

namespace zlk::test {
namespace {

namespace fs = std::filesystem;

const fs::path kPlugins = ZLK_PLUGIN_BUILD_DIR;
const fs::path kSamples = ZLK_SAMPLE_PPD_DIR;

// Bounds for every run, sanitizer build included (its shadow memory and
// slower code are in these figures). A good run takes well under a second
// and some tens of MiB; the faults took minutes and gigabytes.
constexpr auto kMaxSeconds = std::chrono::seconds(30);
constexpr long kMaxPeakMiB = 768;

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void Write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// A sample PPD with lines added after its header.
fs::path EditedPPD(const fs::path& folder, const std::string& model, const std::string& added)
{
    std::string text = ReadAll(kSamples / ("zelko-mfp-" + model + ".ppd"));
    const std::size_t at = text.find("*OpenUI");
    text.insert(at, added);
    const fs::path path = folder / ("zelko-mfp-" + model + ".ppd");
    Write(path, text);
    return path;
}

// "*OpenUI *ZLKMany/Many: PickOne" with n choices.
std::string ManyChoices(int n)
{
    std::string text = "*OpenUI *ZLKMany/Many: PickOne\n*DefaultZLKMany: C0\n";
    for (int i = 0; i < n; ++i) {
        text += "*ZLKMany C" + std::to_string(i) + ": \"\"\n";
    }
    return text + "*CloseUI: *ZLKMany\n";
}

std::string Nested(const std::string& open, const std::string& inner, const std::string& close, int depth)
{
    std::string text;
    for (int i = 0; i < depth; ++i) {
        text += open;
    }
    text += inner;
    for (int i = 0; i < depth; ++i) {
        text += close;
    }
    return text;
}

struct Replay {
    std::string name;
    // Makes the input in the folder; gives zlk-print's arguments (after
    // --ppd) and may change its environment.
    std::function<std::vector<std::string>(const fs::path&, std::map<std::string, std::string>&)> make;
    int exitCode;
    std::vector<std::string> said;  // on standard error, each
};

TEST(HostileInput, OriginalInputsEndBoundedAndSayWhatIsWrong)
{
    const std::string c4500 = (kSamples / "zelko-mfp-c4500.ppd").string();
    const std::string features = "ZLKFeaturesPDE.plugin";
    const std::string account = "ZLKAccountPDE.plugin";
    auto damage = [](const std::string& bundle, std::function<void(const fs::path&)> how) {
        return [bundle, how](const fs::path& dir, std::map<std::string, std::string>& env) {
            const fs::path plugins = LinkedPlugins(dir.string());
            how(plugins / bundle);
            env["ZLK_PLUGIN_PATH"] = plugins.string();
            return std::vector<std::string>{(kSamples / "zelko-mfp-c4500.ppd").string(), "--describe"};
        };
    };
    auto layout = [](const std::string& text) {
        return [text](const fs::path& bundle) {
            const fs::path file = bundle / "Resources" / "Layouts" / "ZLKPrintFeature.json";
            fs::remove(file);
            Write(file, text);
        };
    };
    const std::string deepView =
        "{\"widgets\": [" +
        Nested("{\"kind\": \"view\", \"tag\": 0, \"frame\": [0, 0, 1, 1], \"children\": [", "", "]}", 5000) + "]}";

    const std::vector<Replay> replays = {
        {"an option listed in two groups",
         [](const fs::path& dir, auto&) {
             std::string text = ReadAll(kSamples / "zelko-mfp-m2500.ppd");
             const std::size_t open = text.find("*OpenUI *ZLKStaple");
             const std::size_t close = text.find("*CloseUI: *ZLKStaple", open);
             const std::string option = text.substr(open, text.find('\n', close) + 1 - open);
             text += "*OpenGroup: Again/Again\n" + option + "*CloseGroup: Again\n";
             Write(dir / "twice.ppd", text);
             return std::vector<std::string>{(dir / "twice.ppd").string(), "--options"};
         },
         0,
         {}},
        {"a layout nested 100000 deep",
         damage(features, layout(Nested("[", "", "]", 100000))),
         0,
         {"ZLKFeaturesPDE.plugin has a damaged layout ZLKPrintFeature", "nested deeper than 64 levels"}},
        {"views nested 5000 deep", damage(features, layout(deepView)), 0, {"damaged layout ZLKPrintFeature"}},
        {"a window layout nested 100000 deep",
         [](const fs::path& dir, std::map<std::string, std::string>& env) {
             const fs::path plugins = LinkedPlugins(dir.string());
             const fs::path file = plugins / "ZLKFeaturesPDE.plugin" / "Resources" / "Layouts" / "TrimmerWindow.json";
             fs::remove(file);
             Write(file, Nested("[", "", "]", 100000));
             env["ZLK_PLUGIN_PATH"] = plugins.string();
             Write(dir / "script",
                   "choose ZLKSignature LeftSig\nchoose ZLKSigSize A3\nchoose ZLKTrimming ForeEdge\n"
                   "press 112\ntype 8008 202.0\nok\n");
             return std::vector<std::string>{(kSamples / "zelko-mfp-c4500.ppd").string(), "--script",
                                             (dir / "script").string(), "--options"};
         },
         2,
         {"alert: \"Trimming the plug-in bundle", "damaged layout TrimmerWindow", "nested deeper than 64 levels"}},
        {"a missing layout",
         damage(features, [](const fs::path& b) { fs::remove(b / "Resources" / "Layouts" / "ZLKPrintFeature.json"); }),
         0,
         {"damaged layout ZLKPrintFeature", "ZLKPrintFeature.json is missing"}},
        {"no Help folder",
         damage(features, [](const fs::path& b) { fs::remove_all(b / "Resources" / "Help"); }),
         0,
         {"ZLKFeaturesPDE.plugin is damaged: it has no help page", "the features panel is not offered"}},
        {"no print type layout",
         damage(account,
                [](const fs::path& b) { fs::remove(b / "Resources" / "Layouts" / "ZLKPrintType_Default00.json"); }),
         0,
         {"ZLKAccountPDE.plugin is damaged: it has no layout Layouts/ZLKPrintType_Default00.json"}},
        {"no Resources folder",
         damage(account, [](const fs::path& b) { fs::remove_all(b / "Resources"); }),
         0,
         {"ZLKAccountPDE.plugin is damaged", "has no Resources folder"}},
        {"no Info.json",
         damage(account, [](const fs::path& b) { fs::remove(b / "Info.json"); }),
         0,
         {"ZLKAccountPDE.plugin is damaged", "has no Info.json"}},
        {"Info.json a link to /dev/zero",
         damage(account,
                [](const fs::path& b) {
                    fs::remove(b / "Info.json");
                    fs::create_symlink("/dev/zero", b / "Info.json");
                }),
         0,
         {"ZLKAccountPDE.plugin is damaged", "Info.json is not a regular file"}},
        {"no module",
         damage(features, [](const fs::path& b) { fs::remove(b / "ZLKFeaturesPDE.so"); }),
         0,
         {"ZLKFeaturesPDE.plugin is damaged: it has no module ZLKFeaturesPDE.so"}},
        {"both bundles damaged",
         damage(features,
                [](const fs::path& b) {
                    fs::remove(b / "ZLKFeaturesPDE.so");
                    fs::remove(b.parent_path() / "ZLKAccountPDE.plugin" / "ZLKAccountPDE.so");
                }),
         0,
         {"no dialog plug-in could be loaded"}},
        {"a FIFO as the constraint definition file",
         [](const fs::path& dir, auto&) {
             EXPECT_EQ(mkfifo((dir / "cdf").c_str(), 0600), 0);
             std::string text = ReadAll(kSamples / "zelko-mfp-q6000.ppd");
             const std::string attr = "*ZLKXCDFSetting: \"";
             const std::size_t at = text.find(attr) + attr.size();
             text.replace(at, text.find('"', at) - at, (dir / "cdf").string());
             Write(dir / "zelko-mfp-q6000.ppd", text);
             return std::vector<std::string>{(dir / "zelko-mfp-q6000.ppd").string(), "--describe"};
         },
         0,
         {}},
        {"a FIFO as the stored settings",
         [](const fs::path& dir, auto&) {
             fs::create_directories(dir / "zelko" / "printsettings");
             EXPECT_EQ(mkfifo((dir / "zelko" / "printsettings" / "zelko-mfp-c4500.json").c_str(), 0600), 0);
             return std::vector<std::string>{(kSamples / "zelko-mfp-c4500.ppd").string(), "--options"};
         },
         0,
         {"the stored print settings were not used", "zelko-mfp-c4500.json is not a regular file"}},
        {"a million choices",
         [](const fs::path& dir, auto&) {
             return std::vector<std::string>{EditedPPD(dir, "m2500", ManyChoices(1000000)).string(), "--options"};
         },
         2,
         {"is larger than 16777216 bytes"}},
        {"thirty thousand choices",
         [](const fs::path& dir, auto&) {
             return std::vector<std::string>{EditedPPD(dir, "m2500", ManyChoices(30000)).string(), "--describe"};
         },
         2,
         {"has 300", "choices; at most 20000 are supported"}},
        {"400000 digits typed into the passcode",
         [c4500](const fs::path& dir, auto&) {
             Write(dir / "script",
                   "choose PrintTypeTicketKey Job Type Secure\ntype 1026 " + std::string(400000, '7') + "\n");
             return std::vector<std::string>{c4500, "--script", (dir / "script").string(), "--options"};
         },
         2,
         {"line 2: \"1026\" holds at most 1024 bytes of text"}},
    };
    for (const Replay& replay : replays) {
        SCOPED_TRACE(replay.name);
        TempDir dir;
        RunOptions options;
        options.env = {{"ZLK_PLUGIN_PATH", kPlugins.string()},
                       {"XDG_CONFIG_HOME", dir.path()},
                       {"HOME", dir.path()},
                       {"CUPS_SERVER", "/nonexistent/cups.sock"},
                       {"PATH", "/usr/bin:/bin"}};
        const std::vector<std::string> args = replay.make(dir.path(), options.env);
        options.args = {ZLK_PRINT_BINARY, "--ppd"};
        options.args.insert(options.args.end(), args.begin(), args.end());
        const auto start = std::chrono::steady_clock::now();
        options.killWhen = [start](pid_t) { return std::chrono::steady_clock::now() - start > kMaxSeconds; };
        const RunResult run = RunProgram(ZLK_PRINT_BINARY, options);
        ASSERT_EQ(run.signal, 0) << "did not end within the time allowed";
        EXPECT_EQ(run.exitCode, replay.exitCode) << run.err;
        EXPECT_LE(run.peakKiB / 1024, kMaxPeakMiB);
        for (const std::string& text : replay.said) {
            EXPECT_NE(run.err.find(text), std::string::npos) << "wanted \"" << text << "\" in:\n" << run.err;
        }
        std::cout
            << "[ replay   ] " << replay.name << ": "
            << std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count()
            << " ms, " << run.peakKiB / 1024 << " MiB\n";
    }
}

}  // namespace
}  // namespace zlk::test
