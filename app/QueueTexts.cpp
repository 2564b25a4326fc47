#include "app/QueueTexts.h"

#include <string>

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
    .stopThisFile = "このファイルの変換を中止(&S)",
    .removeFromQueue = "一覧から削除(&R)",
    .removeAllWaiting = "待機中のファイルをすべて削除(&W)",
    .moveToTop = "先頭へ移動(&T)",
    .openOutputFolder = "保存先フォルダを開く(&O)...",
    .copyCommandLines = "コマンドラインをコピー(&C)",
    .continueQuestionFormat = "前回変換が終わらなかった {jobs} 件のファイルの変換を続けますか?",
    .continueAnswer = "続ける",
    .discardAnswer = "破棄する",
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
    .stopThisFile = "Stop this file(&S)",
    .removeFromQueue = "Remove from the queue(&R)",
    .removeAllWaiting = "Remove all waiting(&W)",
    .moveToTop = "Move to top(&T)",
    .openOutputFolder = "Open the output folder(&O)...",
    .copyCommandLines = "Copy the command lines(&C)",
    .continueQuestionFormat = "Continue the {jobs} unfinished files?",
    .continueAnswer = "Continue",
    .discardAnswer = "Discard",
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
                    {Q(texts.continueAnswer), Q(texts.discardAnswer)},
                    kContinueQueue,
                    kDiscardQueue};
}

}  // namespace palomix
