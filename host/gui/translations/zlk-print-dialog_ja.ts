<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP" sourcelanguage="en">
<context>
    <name>zlk::host::gui</name>
    <message>
        <source>Print</source>
        <translation>プリント</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Printer:</source>
        <translation>プリンタ:</translation>
    </message>
    <message>
        <source>Copies:</source>
        <translation>部数:</translation>
    </message>
    <message>
        <source>Collate</source>
        <translation>部単位で印刷</translation>
    </message>
    <message>
        <source>Pages:</source>
        <translation>ページ:</translation>
    </message>
    <message>
        <source>All</source>
        <translation>すべて</translation>
    </message>
    <message>
        <source>Range:</source>
        <translation>範囲:</translation>
    </message>
    <message>
        <source>Documents:</source>
        <translation>書類:</translation>
    </message>
    <message>
        <source>none</source>
        <translation>なし</translation>
    </message>
    <message>
        <source>Summary</source>
        <translation>概要</translation>
    </message>
    <message>
        <source>Setting</source>
        <translation>項目</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>値</translation>
    </message>
    <message>
        <source>Set as Defaults for This Printer</source>
        <translation>このプリンタのデフォルトに設定</translation>
    </message>
    <message>
        <source>The settings are now the defaults for %1.</source>
        <translation>設定を %1 のデフォルトにしました。</translation>
    </message>
    <message>
        <source>The defaults were not saved: %1</source>
        <translation>デフォルトを保存できませんでした: %1</translation>
    </message>
    <message>
        <source>No printer is set up.</source>
        <translation>プリンタが設定されていません。</translation>
    </message>
    <message>
        <source>The printer %1 cannot be used: %2</source>
        <translation>プリンタ %1 を使用できません: %2</translation>
    </message>
    <message>
        <source>No Zelko panel serves this printer.</source>
        <translation>このプリンタには Zelko のパネルがありません。</translation>
    </message>
    <message>
        <source>The Zelko panels could not be loaded.</source>
        <translation>Zelko のパネルを読み込めませんでした。</translation>
    </message>
    <message>
        <source>The page range &quot;%1&quot; is not valid. Give pages and ranges such as 1-3,5.</source>
        <translation>ページ範囲「%1」が正しくありません。1-3,5 のように指定してください。</translation>
    </message>
    <message>
        <source>The job was not printed: %1</source>
        <translation>プリントできませんでした: %1</translation>
    </message>
    <message>
        <source>The job cannot be printed: %1</source>
        <translation>このジョブはプリントできません: %1</translation>
    </message>
    <message>
        <source>Choose a document to print.</source>
        <translation>プリントする書類を選んでください。</translation>
    </message>
    <message>
        <source>Print Dialog</source>
        <translation>プリントダイアログ</translation>
    </message>
    <message>
        <source>Paper size:</source>
        <translation>用紙サイズ:</translation>
    </message>
    <message>
        <source>Two-sided:</source>
        <translation>両面:</translation>
    </message>
    <message>
        <source>Pages per sheet:</source>
        <translation>1 枚あたりのページ数:</translation>
    </message>
    <message>
        <source>Color:</source>
        <translation>カラー:</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>The printer cannot take &quot;%1&quot; now.</source>
        <translation>プリンタは現在「%1」を選択できません。</translation>
    </message>
    <message>
        <source>Location: %1</source>
        <translation>場所: %1</translation>
    </message>
    <message>
        <source>This printer does not accept jobs now.</source>
        <translation>このプリンタは現在ジョブを受け付けていません。</translation>
    </message>
    <message>
        <source>This printer is paused: jobs wait until it is resumed.</source>
        <translation>このプリンタは一時停止中です。再開されるまでジョブは待機します。</translation>
    </message>
    <message>
        <source>No help viewer could open the help page %1.</source>
        <translation>ヘルプページ %1 を開けるヘルプビューアが見つかりませんでした。</translation>
    </message>
    <message>
        <source>Install xdg-utils and a web browser, or open the file yourself.</source>
        <translation>xdg-utils と Web ブラウザをインストールするか、ファイルを直接開いてください。</translation>
    </message>
    <message>
        <source>Front</source>
        <translation>表面</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>裏面</translation>
    </message>
    <message>
        <source>Sheet %1 of %2</source>
        <translation>%2 枚中 %1 枚目</translation>
    </message>
    <message>
        <source>Previous sheet</source>
        <translation>前の用紙</translation>
    </message>
    <message>
        <source>Next sheet</source>
        <translation>次の用紙</translation>
    </message>
    <message>
        <source>The preview shows the first sheets only</source>
        <translation>プレビューには最初の用紙だけが表示されます</translation>
    </message>
    <message>
        <source>Preparing the preview...</source>
        <translation>プレビューを準備しています...</translation>
    </message>
    <message>
        <source>The document cannot be shown.</source>
        <translation>書類を表示できません。</translation>
    </message>
    <message>
        <source>No pages to print.</source>
        <translation>プリントするページがありません。</translation>
    </message>
    <message>
        <source>Zelko Print Agent</source>
        <translation>Zelko プリントエージェント</translation>
    </message>
    <message>
        <source>Print Settings for a Held Job</source>
        <translation>保留中のジョブのプリント設定</translation>
    </message>
    <message>
        <source>The job “%1” for %2 waits for your print settings.</source>
        <translation>%2 へのジョブ「%1」がプリント設定を待っています。</translation>
    </message>
    <message>
        <source>From %1</source>
        <translation>送信元: %1</translation>
    </message>
    <message>
        <source>%1 pages</source>
        <translation>%1 ページ</translation>
    </message>
    <message>
        <source>%1 KB</source>
        <translation>%1 KB</translation>
    </message>
    <message>
        <source>Later</source>
        <translation>後で</translation>
    </message>
    <message>
        <source>Cancel Job</source>
        <translation>ジョブをキャンセル</translation>
    </message>
    <message>
        <source>The job could not be released: %1</source>
        <translation>ジョブを解除できませんでした: %1</translation>
    </message>
    <message>
        <source>The job could not be cancelled: %1</source>
        <translation>ジョブをキャンセルできませんでした: %1</translation>
    </message>
    <message>
        <source>Choose…</source>
        <translation>選択…</translation>
    </message>
    <message>
        <source>Choose Documents to Print</source>
        <translation>プリントする書類を選択</translation>
    </message>
    <message>
        <source>PDF documents (*.pdf *.PDF)</source>
        <translation>PDF 書類 (*.pdf *.PDF)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>すべてのファイル (*)</translation>
    </message>
    <message>
        <source>Only files on this computer can be printed: %1</source>
        <translation>このコンピュータ上のファイルだけをプリントできます: %1</translation>
    </message>
    <message>
        <source>The document “%1” cannot be read.</source>
        <translation>書類「%1」を読み込めません。</translation>
    </message>
    <message>
        <source>The document “%1” is not a PDF.</source>
        <translation>書類「%1」は PDF ではありません。</translation>
    </message>
    <message>
        <source>Choose a document to print, or drop PDF files here.</source>
        <translation>プリントする書類を選択するか、PDF ファイルをここにドロップしてください。</translation>
    </message>
</context>
</TS>
