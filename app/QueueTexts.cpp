#include "app/QueueTexts.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "app/Captions.h"
#include "app/QtText.h"

namespace palomix {

namespace {

constexpr QueueTexts kJapanese{
    .menuFile = "ファイル(&F)",
    .menuAddFiles = "ファイルを追加(&A)...",
    .menuAddFolder = "フォルダを追加(&D)...",
    .addFilesTitle = "変換するファイルを追加",
    .addFolderTitle = "変換するフォルダを追加",
    .startWaiting = "待機中のファイルの変換を開始(&B)",
    .stopThisFile = "このファイルの変換を中止(&S)",
    .removeFromQueue = "一覧から削除(&R)",
    .removeAllWaiting = "待機中のファイルをすべて削除(&W)",
    .moveToTop = "先頭へ移動(&T)",
    .openOutputFolder = "保存先フォルダを開く(&O)...",
    .copyCommandLines = "コマンドラインをコピー(&C)",
    .continueQuestionFormat = "前回変換が終わらなかった {jobs} 件のファイルの変換を続けますか?",
    .continueDetail =
        "「続ける」で変換を再開します。「後で」を選ぶか、この質問を閉じると、ファイルは一覧で待機"
        "します (一覧の右クリックメニューから開始できます)。ファイルを一覧から消すのは「破棄する」"
        "だけです。",
    .continueAnswer = "続ける",
    .discardAnswer = "破棄する",
    .laterAnswer = "後で",
    .arrivalQuestionFormat = "{jobs} 件のファイルを {command} で {folder} に変換しますか?",
    .arrivalDetail =
        "「いいえ」を選ぶと、ファイルは一覧で待機します "
        "(一覧の右クリックメニューから開始できます)。",
    .yesAnswer = "はい",
    .noAnswer = "いいえ",
    .settingsGoneFormat =
        "前回の変換コマンドが見つかりません: {path}\n"
        "ファイルは一覧で待機します。変換コマンドを選ぶと変換を開始します。",
    .damagedFormat = "前回の変換待ちの一覧を読めないため、{path} に移しました。\n{reason}",
    .damagedRemovedFormat = "前回の変換待ちの一覧を読めないため、削除しました。\n{reason}",
    .notKeptFormat = "変換待ちの一覧を次回のために保存できません: {reason}",
};

constexpr QueueTexts kEnglish{
    .menuFile = "File(&F)",
    .menuAddFiles = "Add files(&A)...",
    .menuAddFolder = "Add a folder(&D)...",
    .addFilesTitle = "Add files to convert",
    .addFolderTitle = "Add a folder to convert",
    .startWaiting = "Start converting the waiting files(&B)",
    .stopThisFile = "Stop this file(&S)",
    .removeFromQueue = "Remove from the queue(&R)",
    .removeAllWaiting = "Remove all waiting(&W)",
    .moveToTop = "Move to top(&T)",
    .openOutputFolder = "Open the output folder(&O)...",
    .copyCommandLines = "Copy the command lines(&C)",
    .continueQuestionFormat = "Continue the {jobs} unfinished files?",
    .continueDetail =
        "\"Continue\" converts them now. \"Later\", or closing this question, leaves them waiting "
        "in the list, to be started from its right-click menu. Only \"Discard\" forgets them.",
    .continueAnswer = "Continue",
    .discardAnswer = "Discard",
    .laterAnswer = "Later",
    .arrivalQuestionFormat = "Convert {jobs} files with {command} into {folder}?",
    .arrivalDetail =
        "\"No\" leaves them waiting in the list, to be started from its right-click menu.",
    .yesAnswer = "Yes",
    .noAnswer = "No",
    .settingsGoneFormat =
        "The convert command of the unfinished files is gone: {path}\n"
        "The files wait in the list and are converted once you pick a command.",
    .damagedFormat =
        "The list of unfinished files cannot be read; it was set aside as {path}.\n{reason}",
    .damagedRemovedFormat =
        "The list of unfinished files cannot be read; it was removed.\n{reason}",
    .notKeptFormat = "The list of waiting files cannot be kept for the next start: {reason}",
};

}  // namespace

const QueueTexts& QueueTextsFor(Language language) {
    return language == Language::English ? kEnglish : kJapanese;
}

Question ContinueQueueQuestion(std::size_t files, const QueueTexts& texts) {
    return Question{Q(FillIn(texts.continueQuestionFormat, "{jobs}", std::to_string(files))),
                    {Q(texts.continueAnswer), Q(texts.discardAnswer), Q(texts.laterAnswer)},
                    kContinueQueue,
                    kContinueLater,
                    Q(texts.continueDetail)};
}

Question ArrivalQuestion(std::size_t files, const std::string& command, const std::string& folder,
                         const QueueTexts& texts) {
    // Each field once, in the order the format has them, so that a title or folder that holds
    // a field's name stays as it is.
    const std::string_view format = texts.arrivalQuestionFormat;
    std::array<std::pair<std::string_view, std::string>, 3> fields = {
        std::pair{std::string_view("{jobs}"), std::to_string(files)},
        std::pair{std::string_view("{command}"), command},
        std::pair{std::string_view("{folder}"), folder}};
    std::sort(fields.begin(), fields.end(), [format](const auto& one, const auto& other) {
        return format.find(one.first) < format.find(other.first);
    });
    std::string text;
    std::size_t from = 0;
    for (const auto& [field, value] : fields) {
        if (const std::size_t at = format.find(field, from); at != std::string_view::npos) {
            text.append(format.substr(from, at - from)).append(value);
            from = at + field.size();
        }
    }
    text.append(format.substr(from));
    return Question{Q(text),
                    {Q(texts.yesAnswer), Q(texts.noAnswer)},
                    kConvertArrivals,
                    kKeepArrivalsWaiting,
                    Q(texts.arrivalDetail)};
}

}  // namespace palomix
