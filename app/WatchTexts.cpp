#include "app/WatchTexts.h"

#include "app/RunReport.h"

namespace palomix {

namespace {

constexpr WatchTexts kJapanese{
    .menuWatchFolder = "フォルダを監視(&W)...",
    .menuWatchedFolders = "監視中のフォルダ(&S)...",
    .dialogTitle = "フォルダを監視",
    .folderLabel = "監視するフォルダ",
    .settingsLabel = "設定ファイル",
    .commandLabel = "変換コマンド",
    .outputLabel = "保存先フォルダ",
    .subfolders = "サブフォルダも対象にする",
    .browse = "参照...",
    .chooseFolderTitle = "監視するフォルダを選択",
    .chooseOutputTitle = "保存先フォルダを選択",
    .watchButton = "監視する",
    .cancelButton = "キャンセル",
    .noFolder = "監視するフォルダを選んでください。",
    .folderUnreadableFormat = "フォルダを読めません: {path}",
    .noCommand = "変換コマンドを選んでください。",
    .watchedAlready = "このフォルダは同じ変換コマンドと保存先で監視中です。",
    .listTitle = "監視中のフォルダ",
    .columnFolder = "フォルダ",
    .columnCommand = "変換コマンド",
    .columnOutput = "保存先フォルダ",
    .columnState = "状態",
    .columnConverted = "変換済み",
    .columnFailed = "失敗",
    .stateWatching = "監視中",
    .statePaused = "一時停止中",
    .stateMissingFormat = "フォルダを待っています ({reason})",
    .settlingFormat = "、書き込み中 {n} 件",
    .rescansOnly = "、変更は定期的な確認で検出",
    .recordNotKeptFormat =
        "変換済みの記録を {path} に保存できません "
        "({reason})。再起動後に同じファイルを再び変換します。",
    .failuresLabel = "変換できなかったファイル (再試行するか、ファイルが変わるまで変換しません):",
    .failureFormat = "{path} — {reason}",
    .pauseButton = "一時停止",
    .resumeButton = "再開",
    .removeButton = "削除",
    .retryButton = "再試行",
    .closeButton = "閉じる",
    .noWatches = "監視中のフォルダはありません。「ファイル」→「フォルダを監視」で追加します。",
    .notKeptFormat = "監視中のフォルダを次回のために保存できません: {reason}",
    .leftOutFormat = "このフォルダの名前は保存できないため、次回は監視しません: {path}",
    .commandGoneFormat =
        "{folder} の監視に使う変換コマンドが見つからないため、一時停止しました: {path}",
};

constexpr WatchTexts kEnglish{
    .menuWatchFolder = "&Watch a folder…",
    .menuWatchedFolders = "Watched folder&s…",
    .dialogTitle = "Watch a folder",
    .folderLabel = "Folder to watch",
    .settingsLabel = "Configuration file",
    .commandLabel = "Convert command",
    .outputLabel = "Output Folder",
    .subfolders = "subfolders count",
    .browse = "Browse…",
    .chooseFolderTitle = "Choose the folder to watch",
    .chooseOutputTitle = "Choose the output folder",
    .watchButton = "Watch",
    .cancelButton = "Cancel",
    .noFolder = "Choose a folder to watch.",
    .folderUnreadableFormat = "The folder cannot be read: {path}",
    .noCommand = "Choose a convert command.",
    .watchedAlready = "This folder is watched with this command and output folder already.",
    .listTitle = "Watched folders",
    .columnFolder = "Folder",
    .columnCommand = "Convert command",
    .columnOutput = "Output Folder",
    .columnState = "State",
    .columnConverted = "Converted",
    .columnFailed = "Failed",
    .stateWatching = "Watching",
    .statePaused = "Paused",
    .stateMissingFormat = "Waiting for the folder ({reason})",
    .settlingFormat = ", {n} being written",
    .rescansOnly = ", changes found by rescans",
    .recordNotKeptFormat =
        "What is converted cannot be remembered in {path} ({reason}): after a restart these files "
        "are converted again.",
    .failuresLabel =
        "Files that did not convert (not tried again until you retry them or they change):",
    .failureFormat = "{path} — {reason}",
    .pauseButton = "Pause",
    .resumeButton = "Resume",
    .removeButton = "Remove",
    .retryButton = "Retry",
    .closeButton = "Close",
    .noWatches = "No folder is watched. File → \"Watch a folder…\" adds one.",
    .notKeptFormat = "The watched folders cannot be kept for the next start: {reason}",
    .leftOutFormat = "This folder's name cannot be kept: it is not watched after a restart: {path}",
    .commandGoneFormat =
        "The convert command of the watched folder {folder} is gone; the watch is paused: {path}",
};

}  // namespace

const WatchTexts& WatchTextsFor(Language language) {
    return language == Language::English ? kEnglish : kJapanese;
}

std::string WatchStateWords(const WatchView& view, const WatchTexts& texts,
                            const RunTexts& runTexts) {
    std::string words;
    switch (view.state) {
        case WatchState::Watching:
        case WatchState::Finished:
            words = texts.stateWatching;
            break;
        case WatchState::Paused:
            words = texts.statePaused;
            break;
        case WatchState::FolderMissing:
            words = FillIn(texts.stateMissingFormat, "{reason}",
                           SystemErrorWords(view.error.value(), runTexts));
            break;
    }
    if (view.settling > 0) {
        words += FillIn(texts.settlingFormat, "{n}", std::to_string(view.settling));
    }
    if (view.rescansOnly && view.state == WatchState::Watching) {
        words += texts.rescansOnly;
    }
    return words;
}

std::string WatchFailureWords(const JobResult& result, const RunTexts& runTexts) {
    if (result.outcome == JobOutcome::Stopped) {
        return std::string(runTexts.failureStopped);
    }
    if (const CommandRecord* first = result.FirstProblem()) {
        return CommandEndWords(*first, runTexts);
    }
    return JobProblemWords(result.problem, result.problemSubject, runTexts, result.lengths,
                           result.outputFault);
}

}  // namespace palomix
