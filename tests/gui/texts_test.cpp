// The dialog's and the agent's own texts: Japanese on a Japanese desktop,
// from the translations built into the program, and none left untranslated.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTranslator>
#include <cstdlib>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/gui/texts.h"

namespace zlk::test::gui {
namespace {

using host::gui::Text;

// Sets the locale variables for a test and puts back what was there.
class Desktop {
public:
    Desktop(const char* variable, const char* value)
    {
        for (const char* name : kNames) {
            const char* old = std::getenv(name);
            saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            unsetenv(name);
        }
        setenv(variable, value, 1);
    }
    ~Desktop()
    {
        for (const auto& [name, value] : saved_) {
            value ? setenv(name, value->c_str(), 1) : unsetenv(name);
        }
    }

private:
    static constexpr const char* kNames[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST(DialogTexts, FollowTheDesktopLanguage)
{
    const struct {
        const char* variable;
        const char* value;
        bool japanese;
    } desktops[] = {
        {"LANGUAGE", "ja_JP.UTF-8", true},  {"LANG", "ja_JP.UTF-8", true}, {"LC_MESSAGES", "ja", true},
        {"LANGUAGE", "en_US.UTF-8", false}, {"LC_ALL", "C", false},
    };
    // Placeholders keep their place in the sentence, whatever the order the
    // translation puts them in.
    const struct {
        std::function<QString()> shown;
        const char* english;
        const char* japanese;
    } texts[] = {
        {[] { return Text("Print"); }, "Print", "プリント"},
        {[] { return Text("Choose\u2026"); }, "Choose\u2026", "選択…"},
        {[] { return Text("The printer %1 cannot be used: %2").arg("zg1", "no PPD"); },
         "The printer zg1 cannot be used: no PPD", "プリンタ zg1 を使用できません: no PPD"},
        {[] { return Text("The job \u201c%1\u201d for %2 waits for your print settings.").arg("Report", "zg1"); },
         "The job \u201cReport\u201d for zg1 waits for your print settings.",
         "zg1 へのジョブ「Report」がプリント設定を待っています。"},
        {[] { return Text("The page range \"%1\" is not valid. Give pages and ranges such as 1-3,5.").arg("3-1"); },
         "The page range \"3-1\" is not valid. Give pages and ranges such as 1-3,5.",
         "ページ範囲「3-1」が正しくありません。1-3,5 のように指定してください。"},
        {[] { return Text("A text the dialog does not have"); }, "A text the dialog does not have",
         "A text the dialog does not have"},
    };
    for (const auto& desktop : desktops) {
        const Desktop set(desktop.variable, desktop.value);
        SCOPED_TRACE(std::string(desktop.variable) + "=" + desktop.value);
        EXPECT_EQ(host::gui::DesktopIsJapanese(), desktop.japanese);
        for (const auto& text : texts) {
            EXPECT_EQ(text.shown().toStdString(), desktop.japanese ? text.japanese : text.english);
        }
    }
}

// The English texts given to Text() in the sources that use it, as the
// compiler reads the string literals.
std::set<QString> TextsInSources()
{
    // Not a member function of the same name (options.Text("Duplex")).
    static const QRegularExpression call(R"re((?<![.>\w])(?:Text|TextKey)\(\s*"((?:[^"\\]|\\.)*)"\s*\))re");
    std::set<QString> texts;
    for (const char* folder : {"host/gui", "host/agent"}) {
        QDirIterator files(QString(ZLK_SOURCE_DIR "/") + folder, {"*.cpp", "*.h"}, QDir::Files);
        while (files.hasNext()) {
            QFile source(files.next());
            EXPECT_TRUE(source.open(QIODevice::ReadOnly)) << source.fileName().toStdString();
            const QString code = QString::fromUtf8(source.readAll());
            if (!code.contains("#include \"host/gui/texts.h\"")) {
                continue;
            }
            for (auto found = call.globalMatch(code); found.hasNext();) {
                const QString literal = found.next().captured(1);
                QString text;
                for (qsizetype i = 0; i < literal.size(); ++i) {
                    if (literal[i] != '\\' || i + 1 == literal.size()) {
                        text += literal[i];
                    } else if (literal[++i] == 'u') {
                        text += QChar(literal.mid(i + 1, 4).toUShort(nullptr, 16));
                        i += 4;
                    } else {
                        text += literal[i] == 'n' ? QChar('\n') : literal[i];
                    }
                }
                texts.insert(text);
            }
        }
    }
    return texts;
}

TEST(DialogTexts, EveryTextInTheSourcesHasAJapaneseOne)
{
    const std::set<QString> texts = TextsInSources();
    // The dialog, the preview, the help opener and the agent all have some.
    for (const char* some : {"Print", "Front", "Zelko Print Agent", "The document cannot be shown.",
                             "The job \u201c%1\u201d for %2 waits for your print settings."}) {
        EXPECT_EQ(texts.count(some), 1u) << "not found in the sources: " << some;
    }
    QTranslator japanese;
    ASSERT_TRUE(japanese.load(":/zlk/translations/zlk-print-dialog_ja.qm")) << "not built into the program";
    for (const QString& text : texts) {
        EXPECT_FALSE(japanese.translate(host::gui::kTextContext, text.toUtf8().constData()).isEmpty())
            << "no Japanese for \"" << text.toStdString() << "\"";
    }
}

}  // namespace
}  // namespace zlk::test::gui
