#include "app/RunOptionTexts.h"

namespace palomix {

namespace {

constexpr RunOptionTexts kJapanese{
    .menuSimultaneous = "同時に変換する数(&M)",
    .simultaneousPerCore = "CPU のコアの数",
    .menuExisting = "出力ファイルが既にあるとき(&E)",
    .existingOverwrite = "上書きする",
    .existingKeepBoth = "両方残す (番号を付けた名前で保存)",
    .existingSkip = "そのファイルは変換しない",
    .menuKeepDates = "元ファイルの日時を保つ(&D)",
    .menuKeepTree = "フォルダの階層を保つ(&T)",
    .menuWhenDone = "変換がすべて終わったら(&W)",
    .doneNothing = "何もしない",
    .doneSound = "音で知らせる",
    .doneQuit = "Palomix を終了する",
    .doneSuspend = "スリープする",
    .doneShutDown = "シャットダウンする",
    .menuFinishAfterCurrent = "変換中のファイルが終わったら中止(&A)",
    .menuStopAll = "すべて中止(&X)",
    .progressSeparator = "・",
    .percentFormat = "{percent}%",
    .lessThanAMinuteLeft = "あと 1 分未満",
    .minutesLeftFormat = "あと約 {minutes} 分",
    .hoursLeftFormat = "あと約 {hours} 時間",
    .hoursMinutesLeftFormat = "あと約 {hours} 時間 {minutes} 分",
    .jobPercentFormat = "{percent}% 完了",
    .lineFormat = "コマンドライン {line}/{lines}",
    .linePercentFormat = "コマンドライン {line}/{lines}: {percent}%",
    .speedFormat = "速度 {speed}x",
    .renamedFormat = "同じ名前の出力があるため「{name}」の名前で保存します",
    .noticeDone = "変換が終わりました",
    .noticeStopped = "変換を中止しました",
    .noticeCutShort = "変換を続けられませんでした",
    .suspendCountdownFormat = "変換がすべて終わりました。{seconds} 秒後にスリープします。",
    .shutDownCountdownFormat = "変換がすべて終わりました。{seconds} 秒後にシャットダウンします。",
    .countdownCancel = "キャンセル",
    .suspendFailedFormat = "スリープできませんでした: {reason}",
    .shutDownFailedFormat = "シャットダウンできませんでした: {reason}",
};

constexpr RunOptionTexts kEnglish{
    .menuSimultaneous = "Simultaneous conversions(&M)",
    .simultaneousPerCore = "One per core",
    .menuExisting = "When the output file exists(&E)",
    .existingOverwrite = "Overwrite",
    .existingKeepBoth = "Keep both (a numbered name)",
    .existingSkip = "Skip the file",
    .menuKeepDates = "Keep the dates of the sources(&D)",
    .menuKeepTree = "Keep the folder trees(&T)",
    .menuWhenDone = "When the queue is done(&W)",
    .doneNothing = "Do nothing",
    .doneSound = "Play a sound",
    .doneQuit = "Quit Palomix",
    .doneSuspend = "Suspend",
    .doneShutDown = "Shut down",
    .menuFinishAfterCurrent = "Stop after the current file(&A)",
    .menuStopAll = "Stop all(&X)",
    .progressSeparator = " · ",
    .percentFormat = "{percent}%",
    // Short, so that the strip beside Stop shows all of "Converting: 6 job(s) left · 42% · ~3
    // min left".
    .lessThanAMinuteLeft = "under 1 min left",
    .minutesLeftFormat = "~{minutes} min left",
    .hoursLeftFormat = "~{hours} h left",
    .hoursMinutesLeftFormat = "~{hours} h {minutes} min left",
    .jobPercentFormat = "{percent}% done",
    .lineFormat = "Command line {line}/{lines}",
    .linePercentFormat = "Command line {line}/{lines}: {percent}%",
    .speedFormat = "Speed {speed}x",
    .renamedFormat = "Saved as \"{name}\": this run already has an output of the same name",
    .noticeDone = "The conversions are done",
    .noticeStopped = "The conversions were stopped",
    .noticeCutShort = "The conversions could not go on",
    .suspendCountdownFormat = "The queue is done. The computer suspends in {seconds} s.",
    .shutDownCountdownFormat = "The queue is done. The computer shuts down in {seconds} s.",
    .countdownCancel = "Cancel",
    .suspendFailedFormat = "The computer could not be suspended: {reason}",
    .shutDownFailedFormat = "The computer could not be shut down: {reason}",
};

}  // namespace

const RunOptionTexts& RunOptionTextsFor(Language language) {
    return language == Language::English ? kEnglish : kJapanese;
}

}  // namespace palomix
