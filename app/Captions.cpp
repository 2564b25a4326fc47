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
    .menuS2 = "失敗・スキップしたファイルの一覧(&F)...",
    .menuH3 = "バージョン情報(&A)...",
    .folderButton = "保存先フォルダを選ぶ",
    .queueName = "変換するファイルの一覧",
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
    .menuS2 = "Failed and skipped files(&F)...",
    .menuH3 = "About Palomix(&A)...",
    .folderButton = "Choose the output folder",
    .queueName = "Files to convert",
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
    .launchFailedFormat = "起動できません: {reason}",
    .convertedFormat = "変換 {n} 件",
    .failedFormat = "失敗 {n} 件",
    .stoppedFormat = "中止 {n} 件",
    .skippedFormat = "スキップ {n} 件",
    .notAddedFormat = "追加できず {n} 件",
    .partSeparator = "、",
    .clickForDetails = " (クリックで詳細)",
    .earlierEntriesAlone = "以前の失敗が一覧にあります",
    .earlierEntriesAfter = "。以前の失敗が一覧にあります",
    .waitingForCommandFormat = "{jobs} 件が待機中: 変換コマンドを選んでください",
    .waitingForStartFormat = "{jobs} 件が待機中: 一覧の右クリックメニューから変換を開始できます",
    .closingWhenDoneFormat = "変換がすべて終わると終了します (残り {jobs} 件)",
    .closingAfterStop = "変換を中止して終了します...",
    .closeQuestion = "変換を実行中です。Palomix を終了しますか?",
    .closeStopAndQuit = "変換を中止して終了",
    .closeWhenDone = "すべて変換してから終了",
    .closeCancel = "キャンセル",
    .notStartedFormat = "起動できません: {program}",
    .failureWindowTitle = "失敗・スキップしたファイル",
    .failureFile = "ファイル",
    .failureCommandLine = "コマンドライン",
    .failureEnd = "結果",
    .failureOutput = "出力の最後",
    .failureStopped = "中止されました",
    .failureNoOutput = "(出力なし)",
    .failureReason = "理由",
    .closeButton = "閉じる",
    .convertAgainButton = "もう一度変換",
    .clearListButton = "一覧を消去",
    .exitCodeFormat = "終了コード {code}",
    .signalFormat = "シグナル {code}",
    .timeLimitReached = " (制限時間を超えたため停止)",
    .playerNotAttachedFormat = "実行せず: {player}が接続されていません",
    .lineTooLongFormat = "実行せず: コマンドラインが {bytes} バイトを超えるため途中で切れます",
    .settingsUnreadableFormat = "設定ファイルを読めません: {path}",
    .ambiguousProgramNotRunFormat =
        "実行せず: \"{meant}\" が引用符なしで書かれているため、別のプログラム \"{found}\" "
        "が起動されてしまいます。プログラムのパスを \" で囲んでください",
    .ambiguousProgramFormat =
        "\"{meant}\" が引用符なしで書かれているため、別のプログラム \"{found}\" "
        "が起動されてしまいます。プログラムのパスを \" で囲んでください",
    .nothingToRun = "この変換コマンドには実行するコマンドラインがありません",
    .outputExistsFormat = "スキップ: 出力ファイルが既にあります: {path}",
    .notConvertible = "スキップ: この変換コマンドで変換するファイルではありません",
    .tooLargeForPlayerFormat =
        "出力が 4 GiB に達し、FAT32 のカードに 1 ファイルとして入りません: {path}",
    .noFreeName = "出力ファイルに使える名前が見つかりません",
    .outputNotKeptFormat = "変換した出力をその名前で保存できませんでした: {path}",
    .outputNotMadeFormat =
        "出力の一時ファイルを作れませんでした "
        "(同じ名前のものがあるか、フォルダーに書き込めません): {path}",
    .outputMissingFormat = "出力ファイルが作られませんでした: {path}",
    .outputEmptyFormat = "出力ファイルが空です: {path}",
    .outputUnreadableFormat = "出力ファイルを最後まで再生できません ({why}): {path}",
    .outputTooShortFormat = "出力の長さが {output} 秒しかありません (入力は {input} 秒): {path}",
    .faultNotMedia = "読み取れるメディアがありません",
    .faultNoStream = "このコマンドが作る種類のストリームがありません",
    .faultNoLength = "時刻のあるパケットがありません",
    .faultCut = "途中で途切れています",
    .faultProbeCrashed = "調べるプログラムが異常終了しました",
    .faultProbeTimedOut = "調べるのに時間がかかりすぎました",
    .outputsNotChecked = " (cores に ffprobe がないため、出力を確認していません)",
    .encoderMissingFormat = "この ffmpeg にないエンコーダ {name} が必要です",
    .formatMissingFormat = "この ffmpeg にない形式 {name} が必要です",
    .emptyCommandLine = "コマンドラインが空です",
    .programNotFoundFormat = "プログラム \"{program}\" が見つかりません",
    .programNotStartedFormat = "プログラム \"{program}\" を起動できませんでした ({detail})",
    .launcherClosed = "これ以上変換を開始できません",
    .notAddedNotFound = "追加できません: 見つかりません",
    .notAddedUnreadableFormat = "追加できません: フォルダを読めません ({reason})",
    .notAddedTooLong = "追加できません: パスが長すぎて変換プログラムが開けません",
    .errorAccessDenied = "アクセスが拒否されました",
    .errorNotFound = "ファイルまたはフォルダがありません",
    .errorNotExecutable = "実行できるプログラムではありません",
    .errorOtherFormat = "システムエラー {code}",
    .reasonNoMatchingStream =
        "この変換コマンドが必要とするストリーム (動画のコマンドなら映像) がファイルにありません。",
    .reasonNoSuchFile =
        "コマンドが指定したファイルまたはフォルダがありません (移動・削除された可能性があります)。",
    .reasonInvalidData =
        "ffmpeg がこのファイルを読めません。動画・音声・画像のファイルではないか、壊れています。",
    .reasonUnknownColours =
        "このファイルには色の情報 (HDR/SDR の別) がありません。HDR を SDR に変換するコマンドは "
        "HLG/PQ の HDR 動画専用です。通常のコマンドで変換してください。",
    .reasonPermissionDenied =
        "アクセスが拒否されました。ファイルを読めないか、保存先フォルダに書き込めません。",
    .reasonDiskFull =
        "ディスクがいっぱいです。保存先のドライブの空きを増やしてから、もう一度変換してください。",
    .reasonEncoderMissingFormat =
        "この ffmpeg には、変換コマンドが使うエンコーダ {encoder} がありません。",
    .openNotStartedFormat =
        "{target} を開けませんでした。ファイルを開くためのプログラムを起動できません ({reason})。",
    .openFailedFormat =
        "{target} を開けませんでした。開くためのプログラムがコード {code} で終了しました。",
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
    .launchFailedFormat = "Cannot start: {reason}",
    .convertedFormat = "{n} converted",
    .failedFormat = "{n} failed",
    .stoppedFormat = "{n} stopped",
    .skippedFormat = "{n} skipped",
    .notAddedFormat = "{n} not added",
    .partSeparator = ", ",
    .clickForDetails = " (click for details)",
    .earlierEntriesAlone = "Earlier failures wait in the list",
    .earlierEntriesAfter = "; earlier failures wait in the list",
    .waitingForCommandFormat = "{jobs} file(s) wait: choose a convert command",
    .waitingForStartFormat = "{jobs} file(s) wait: start them from the list's right-click menu",
    .closingWhenDoneFormat = "Palomix closes when the conversions are done ({jobs} left)",
    .closingAfterStop = "Stopping the conversions, then closing...",
    .closeQuestion = "Conversions are running. Do you want to quit Palomix?",
    .closeStopAndQuit = "Stop the conversions and quit",
    .closeWhenDone = "Quit when the queue is done",
    .closeCancel = "Cancel",
    .notStartedFormat = "Could not start: {program}",
    .failureWindowTitle = "Failed and skipped files",
    .failureFile = "File",
    .failureCommandLine = "Command line",
    .failureEnd = "Result",
    .failureOutput = "Last output",
    .failureStopped = "stopped",
    .failureNoOutput = "(no output)",
    .failureReason = "Reason",
    .closeButton = "Close",
    .convertAgainButton = "Convert again",
    .clearListButton = "Clear the list",
    .exitCodeFormat = "exit code {code}",
    .signalFormat = "signal {code}",
    .timeLimitReached = " (stopped at the time limit)",
    .playerNotAttachedFormat = "not run: no {player} is attached",
    .lineTooLongFormat = "not run: the command line is longer than {bytes} bytes and would run cut",
    .settingsUnreadableFormat = "the settings file cannot be read: {path}",
    .ambiguousProgramNotRunFormat =
        "not run: the line names \"{meant}\" without quotes, so another program, \"{found}\", "
        "would start instead; put the program's path in double quotes",
    .ambiguousProgramFormat =
        "the line names \"{meant}\" without quotes, so another program, \"{found}\", would "
        "start instead; put the program's path in double quotes",
    .nothingToRun = "the command has no command line to run",
    .outputExistsFormat = "skipped: the output file exists: {path}",
    .notConvertible = "skipped: not a file this command converts",
    .tooLargeForPlayerFormat =
        "the output reached 4 GiB, more than a FAT32 card holds in one file: {path}",
    .noFreeName = "no free name was found for the output files",
    .outputNotKeptFormat = "the finished output could not be put under its name: {path}",
    .outputNotMadeFormat =
        "the output's temporary file could not be made (something stands at its name, or the "
        "folder refuses it): {path}",
    .outputMissingFormat = "the output was not written: {path}",
    .outputEmptyFormat = "the output is empty: {path}",
    .outputUnreadableFormat = "the output cannot be played to its end ({why}): {path}",
    .outputTooShortFormat = "the output lasts {output} s, the input {input} s: {path}",
    .faultNotMedia = "it holds no media the probe can read",
    .faultNoStream = "it holds no stream of the kinds its command makes",
    .faultNoLength = "none of its packets has a time",
    .faultCut = "it breaks off before its end",
    .faultProbeCrashed = "the probe crashed",
    .faultProbeTimedOut = "the probe took too long",
    .outputsNotChecked = " (outputs not checked: no ffprobe in cores)",
    .encoderMissingFormat = "needs the encoder {name}, which this ffmpeg does not have",
    .formatMissingFormat = "needs the format {name}, which this ffmpeg does not have",
    .emptyCommandLine = "the command line is empty",
    .programNotFoundFormat = "the program \"{program}\" was not found",
    .programNotStartedFormat = "the program \"{program}\" could not be started ({detail})",
    .launcherClosed = "no conversion may start any more",
    .notAddedNotFound = "not added: not found",
    .notAddedUnreadableFormat = "not added: the folder cannot be read ({reason})",
    .notAddedTooLong = "not added: the path is too long for a converter to open",
    .errorAccessDenied = "access denied",
    .errorNotFound = "no such file or folder",
    .errorNotExecutable = "not a program that can be run",
    .errorOtherFormat = "system error {code}",
    .reasonNoMatchingStream =
        "This command needs a kind of stream the file does not have (video, for a video command).",
    .reasonNoSuchFile = "A file or folder on the command line is missing (moved or deleted?).",
    .reasonInvalidData =
        "ffmpeg cannot read this file: it is not a video, sound or picture file, or it is "
        "damaged.",
    .reasonUnknownColours =
        "The file does not say what colours it holds (HDR or SDR). The HDR to SDR command is "
        "for HLG/PQ HDR video only; convert this file with an ordinary command.",
    .reasonPermissionDenied =
        "Access was denied: the file cannot be read, or the output folder cannot be written to.",
    .reasonDiskFull = "The disk is full: free some space on the output drive and convert again.",
    .reasonEncoderMissingFormat =
        "This ffmpeg lacks the encoder {encoder} that the convert command uses.",
    .openNotStartedFormat =
        "{target} could not be opened: the system's program for opening files could not be "
        "started ({reason}).",
    .openFailedFormat =
        "{target} could not be opened: the program for opening it ended with code {code}.",
};

constexpr AboutTexts kJapaneseAbout{
    .title = "バージョン情報",
    .versionFormat = "バージョン {version}",
    .webSite = "WEBサイト",
    .licence = "ライセンス",
    .licenceNotStated = "このビルドには記載がありません",
    .converter = "cores の ffmpeg",
    .converterLooking = "確認中...",
    .converterMissing = "見つかりません",
    .converterNoAnswer = "応答がありません",
    .gpl3 = "GPL バージョン 3 以降",
    .gpl2 = "GPL バージョン 2 以降",
    .lgpl3 = "LGPL バージョン 3 以降",
    .lgpl21 = "LGPL バージョン 2.1 以降",
    .nonfree = "再配布できない構成 (nonfree)",
    .probe = "メディアの調べ方",
    .probeNone = "なし (出力は確かめられません)",
    .programFolder = "プログラムのフォルダ",
    .stateFile = "状態の保存先",
    .settingsFolders = "設定ファイルのフォルダ",
    .closeButton = "閉じる",
};

constexpr AboutTexts kEnglishAbout{
    .title = "About Palomix",
    .versionFormat = "Version {version}",
    .webSite = "Web site",
    .licence = "Licence",
    .licenceNotStated = "not stated in this build",
    .converter = "ffmpeg in cores",
    .converterLooking = "looking...",
    .converterMissing = "not found",
    .converterNoAnswer = "did not answer",
    .gpl3 = "GPL version 3 or later",
    .gpl2 = "GPL version 2 or later",
    .lgpl3 = "LGPL version 3 or later",
    .lgpl21 = "LGPL version 2.1 or later",
    .nonfree = "non-free build, not to be passed on",
    .probe = "Media probe",
    .probeNone = "none (outputs are not checked)",
    .programFolder = "Program folder",
    .stateFile = "State file",
    .settingsFolders = "Settings folders",
    .closeButton = "Close",
};

}  // namespace

const WindowCaptions& CaptionsFor(Language language) {
    return language == Language::English ? kEnglish : kJapanese;
}

const RunTexts& RunTextsFor(Language language) {
    return language == Language::English ? kEnglishRunTexts : kJapaneseRunTexts;
}

std::string FillIn(std::string_view format, std::string_view field, const std::string& value) {
    std::string text(format);
    if (const std::size_t at = text.find(field); at != std::string::npos) {
        text.replace(at, field.size(), value);
    }
    return text;
}

const AboutTexts& AboutTextsFor(Language language) {
    return language == Language::English ? kEnglishAbout : kJapaneseAbout;
}

}  // namespace palomix
