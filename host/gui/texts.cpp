#include "host/gui/texts.h"

#include <QLocale>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string_view>

namespace zlk::host::gui {

namespace {

const std::map<std::string_view, const char*>& Japanese()
{
    static const std::map<std::string_view, const char*> table = {
        {"Print", "プリント"},
        {"Cancel", "キャンセル"},
        {"Printer:", "プリンタ:"},
        {"Copies:", "部数:"},
        {"Pages:", "ページ:"},
        {"All", "すべて"},
        {"Range:", "範囲:"},
        {"Documents:", "書類:"},
        {"none", "なし"},
        {"Summary", "概要"},
        {"Setting", "項目"},
        {"Value", "値"},
        {"Set as Defaults for This Printer", "このプリンタのデフォルトに設定"},
        {"The settings are now the defaults for %1.", "設定を %1 のデフォルトにしました。"},
        {"The defaults were not saved: %1", "デフォルトを保存できませんでした: %1"},
        {"No printer is set up.", "プリンタが設定されていません。"},
        {"The printer %1 cannot be used: %2", "プリンタ %1 を使用できません: %2"},
        {"No Zelko panel serves this printer.", "このプリンタには Zelko のパネルがありません。"},
        {"The Zelko panels could not be loaded.", "Zelko のパネルを読み込めませんでした。"},
        {"The page range \"%1\" is not valid. Give pages and ranges such as 1-3,5.",
         "ページ範囲「%1」が正しくありません。1-3,5 のように指定してください。"},
        {"The job was not printed: %1", "プリントできませんでした: %1"},
        {"The job cannot be printed: %1", "このジョブはプリントできません: %1"},
        {"Choose a document to print.", "プリントする書類を選んでください。"},
        {"Print Dialog", "プリントダイアログ"},
        {"Paper size:", "用紙サイズ:"},
        {"Two-sided:", "両面:"},
        {"Pages per sheet:", "1 枚あたりのページ数:"},
        {"Color:", "カラー:"},
        {"%1 (%2)", "%1 (%2)"},
        {"The printer cannot take \"%1\" now.", "プリンタは現在「%1」を選択できません。"},
        {"Location: %1", "場所: %1"},
        {"This printer does not accept jobs now.", "このプリンタは現在ジョブを受け付けていません。"},
        {"This printer is paused: jobs wait until it is resumed.",
         "このプリンタは一時停止中です。再開されるまでジョブは待機します。"},
        {"No help viewer could open the help page %1.",
         "ヘルプページ %1 を開けるヘルプビューアが見つかりませんでした。"},
        {"Install xdg-utils and a web browser, or open the file yourself.",
         "xdg-utils と Web ブラウザをインストールするか、ファイルを直接開いてください。"},
        {"Front", "表面"},
        {"Back", "裏面"},
        {"Sheet %1 of %2", "%2 枚中 %1 枚目"},
        {"Previous sheet", "前の用紙"},
        {"Next sheet", "次の用紙"},
        {"The preview shows the first sheets only", "プレビューには最初の用紙だけが表示されます"},
        {"Preparing the preview...", "プレビューを準備しています..."},
        {"The document cannot be shown.", "書類を表示できません。"},
        {"No pages to print.", "プリントするページがありません。"},
        {"Zelko Print Agent", "Zelko プリントエージェント"},
        {"Print Settings for a Held Job", "保留中のジョブのプリント設定"},
        {"The job \u201c%1\u201d for %2 waits for your print settings.",
         "%2 へのジョブ「%1」がプリント設定を待っています。"},
        {"From %1", "送信元: %1"},
        {"%1 pages", "%1 ページ"},
        {"%1 KB", "%1 KB"},
        {"Later", "後で"},
        {"Cancel Job", "ジョブをキャンセル"},
        {"The job could not be released: %1", "ジョブを解除できませんでした: %1"},
        {"The job could not be cancelled: %1", "ジョブをキャンセルできませんでした: %1"},
    };
    return table;
}

}  // namespace

bool DesktopIsJapanese()
{
    // The first of these that is set decides, as gettext does.
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            return std::strncmp(value, "ja", 2) == 0;
        }
    }
    return QLocale::system().language() == QLocale::Japanese;
}

QString Text(const char* english)
{
    if (DesktopIsJapanese()) {
        if (const auto it = Japanese().find(english); it != Japanese().end()) {
            return QString::fromUtf8(it->second);
        }
    }
    return QString::fromUtf8(english);
}

}  // namespace zlk::host::gui
