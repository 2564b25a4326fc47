#include "app/Captions.h"

namespace palomix {

namespace {

constexpr WindowCaptions kJapanese{
    .windowCaption = kApplicationTitle,
    .menuS0 = "設定(&S)",
    .menuS1 = "設定ファイル(.ini)を開く(&O)...",
    .menuH0 = "ヘルプ(&H)",
    .menuH1 = "MirabexのWEBサイト(&L)...",
    .menuH2 = "ソフトウェア情報(&V)...",
    .label1 = "設定ファイルを選択",
    .label2 = "変換コマンドを選択",
    .label3 = "保存先フォルダ",
    .label4 = "↓ここにファイルをドラッグ＆ドロップで変換開始",
    .button1 = "変換中止",
    .headerStatus = "状態(経過時間)",
    .headerFileName = "動画ファイル",
    .headerFullPath = "動画ファイルのフルパス",
};

constexpr WindowCaptions kEnglish{
    .windowCaption = "Palomix",
    .menuS0 = "Settings(&S)",
    .menuS1 = "Open the configuration file(&O)...",
    .menuH0 = "Help(&H)",
    .menuH1 = "Mirabex WEB site(&L)...",
    .menuH2 = "Software Information(&V)...",
    .label1 = "Select a configuration file",
    .label2 = "Select the Convert command",
    .label3 = "Output Folder",
    .label4 = "Drag & drop the file conversion start here",
    .button1 = "Stop",
    .headerStatus = "Status (Time)",
    .headerFileName = "Video file",
    .headerFullPath = "Full path",
};

constexpr RunTexts kJapaneseRunTexts{
    .chooseSettings =
        "設定ファイルと変換コマンドを選択してください。"
        "ドロップしたファイルは一覧で待機し、変換コマンドを選ぶと変換を開始します。",
    .stateNotSaved = "設定を保存できませんでした: ",
    .outputFolderTooLong =
        "保存先フォルダのパスが長すぎるため記憶できません。次回の起動では既定のフォルダになります"
        "。",
    .stopFailed = "変換を中止できませんでした.",
    .jobsWaitingFormat = "変換中: 残り {jobs} 件",
    .failuresFormat = "失敗 {failed} 件 (クリックで詳細)",
    .launchFailedFormat = "起動できません: {reason}",
    .notStartedFormat = "起動できません: {program}",
    .failureWindowTitle = "失敗した変換",
    .failureFile = "ファイル",
    .failureCommandLine = "コマンドライン",
    .failureEnd = "結果",
    .failureOutput = "出力の最後",
    .failureStopped = "中止されました",
    .failureNoOutput = "(出力なし)",
    .closeButton = "閉じる",
    .exitCodeFormat = "終了コード {code}",
    .signalFormat = "シグナル {code}",
    .playerNotAttachedFormat = "実行せず: {player}が接続されていません",
    .lineTooLongFormat = "実行せず: コマンドラインが {bytes} バイトを超えるため途中で切れます",
    .settingsUnreadableFormat = "設定ファイルを読めません: {path}",
    .nothingToRun = "この変換コマンドには実行するコマンドラインがありません",
    .outputExistsFormat = "スキップ: 出力ファイルが既にあります: {path}",
    .notConvertible = "スキップ: この変換コマンドで変換するファイルではありません",
    .tooLargeForPlayer = "ファイルが 4 GiB を超えるため、プレーヤーの FAT32 カードに入りません",
    .noFreeName = "出力ファイルに使える名前が見つかりません",
    .outputNotKeptFormat = "変換した出力をその名前で保存できませんでした: {path}",
    .emptyCommandLine = "コマンドラインが空です",
    .programNotFoundFormat = "プログラム \"{program}\" が見つかりません",
    .programNotStartedFormat = "プログラム \"{program}\" を起動できませんでした ({detail})",
    .launcherClosed = "これ以上変換を開始できません",
};

constexpr RunTexts kEnglishRunTexts{
    .chooseSettings =
        "Choose a configuration file and a convert command. The dropped files "
        "wait in the list and are converted once you pick a command.",
    .stateNotSaved = "The settings could not be saved: ",
    .outputFolderTooLong =
        "The output folder's path is too long to be remembered; the next start "
        "uses the default folder.",
    .stopFailed = "Could not stop the conversion.",
    .jobsWaitingFormat = "Converting: {jobs} job(s) left",
    .failuresFormat = "{failed} failed (click for details)",
    .launchFailedFormat = "Cannot start: {reason}",
    .notStartedFormat = "Could not start: {program}",
    .failureWindowTitle = "Failed conversions",
    .failureFile = "File",
    .failureCommandLine = "Command line",
    .failureEnd = "Result",
    .failureOutput = "Last output",
    .failureStopped = "stopped",
    .failureNoOutput = "(no output)",
    .closeButton = "Close",
    .exitCodeFormat = "exit code {code}",
    .signalFormat = "signal {code}",
    .playerNotAttachedFormat = "not run: no {player} is attached",
    .lineTooLongFormat = "not run: the command line is longer than {bytes} bytes and would run cut",
    .settingsUnreadableFormat = "the settings file cannot be read: {path}",
    .nothingToRun = "the command has no command line to run",
    .outputExistsFormat = "skipped: the output file exists: {path}",
    .notConvertible = "skipped: not a file this command converts",
    .tooLargeForPlayer = "the file is larger than 4 GiB, more than the player's FAT32 card holds",
    .noFreeName = "no free name was found for the output files",
    .outputNotKeptFormat = "the finished output could not be put under its name: {path}",
    .emptyCommandLine = "the command line is empty",
    .programNotFoundFormat = "the program \"{program}\" was not found",
    .programNotStartedFormat = "the program \"{program}\" could not be started ({detail})",
    .launcherClosed = "no conversion may start any more",
};

}  // namespace

const WindowCaptions& CaptionsFor(Language language) {
    return language == Language::English ? kEnglish : kJapanese;
}

const RunTexts& RunTextsFor(Language language) {
    return language == Language::English ? kEnglishRunTexts : kJapaneseRunTexts;
}

}  // namespace palomix
