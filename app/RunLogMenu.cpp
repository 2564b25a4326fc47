#include "app/RunLogMenu.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <utility>

#include "app/QtText.h"
#include "frontend/RunLogText.h"
#include "palomix/BuildInfo.h"
#include "platform/FileSystem.h"

namespace palomix {

namespace {

constexpr RunLogTexts kJapanese = {
    .menuOpenLogs = "実行ログを開く(&L)",
    .menuReport = "問題を報告(&R)…",
    .reportCopiedFormat =
        "Palomix と ffmpeg のバージョンと、最新の実行ログの場所をクリップボードに"
        "コピーしました。報告に貼り付け、このログを添付してください:\n{path}",
    .reportCopiedNoLog =
        "Palomix と ffmpeg のバージョンをクリップボードにコピーしました。"
        "実行ログはまだありません。",
    .noFolder = "実行ログを置くフォルダが分かりません (ホームフォルダがありません)",
    .folderNotMadeFormat = "実行ログのフォルダを作れません: {folder} ({reason})",
};

constexpr RunLogTexts kEnglish = {
    .menuOpenLogs = "Open the run &logs",
    .menuReport = "&Report a problem…",
    .reportCopiedFormat =
        "The versions of Palomix and ffmpeg and the place of the newest run "
        "log are on the clipboard: paste them into your report, and attach "
        "that log:\n{path}",
    .reportCopiedNoLog =
        "The versions of Palomix and ffmpeg are on the clipboard. No run has "
        "been logged yet.",
    .noFolder = "No folder is known for the run logs (there is no home folder)",
    .folderNotMadeFormat = "The folder of the run logs cannot be made: {folder} ({reason})",
};

std::string FillIn(std::string_view format, std::string_view name, std::string_view value) {
    std::string text(format);
    if (const std::size_t at = text.find(name); at != std::string::npos) {
        text.replace(at, name.size(), value);
    }
    return text;
}

}  // namespace

const RunLogTexts& RunLogTextsFor(Language language) {
    return language == Language::English ? kEnglish : kJapanese;
}

RunLogMenu::RunLogMenu(Engine& engine, QMenu& help, QAction* before, std::string folder,
                       Action open, Action say)
    : engine_(engine),
      folder_(std::move(folder)),
      log_(engine, RunLogSetup{"palomix", folder_, {}}),
      open_(std::move(open)),
      say_(std::move(say)) {
    engine_.AddObserver(&log_);
    openLogs = new QAction(&help);
    report = new QAction(&help);
    help.insertAction(before, openLogs);
    help.insertAction(before, report);
    QObject::connect(openLogs, &QAction::triggered, openLogs, [this] { OpenLogs(); });
    QObject::connect(report, &QAction::triggered, report, [this] { ReportProblem(); });
    SetLanguage(language_);
}

RunLogMenu::~RunLogMenu() {
    engine_.RemoveObserver(&log_);
}

void RunLogMenu::SetLanguage(Language language) {
    language_ = language;
    const RunLogTexts& texts = RunLogTextsFor(language);
    openLogs->setText(Q(texts.menuOpenLogs));
    report->setText(Q(texts.menuReport));
}

void RunLogMenu::OpenLogs() {
    const RunLogTexts& texts = RunLogTextsFor(language_);
    if (folder_.empty()) {
        say_(std::string(texts.noFolder));
        return;
    }
    if (const std::error_code error = MakeFolderTree(folder_)) {
        say_(FillIn(FillIn(texts.folderNotMadeFormat, "{folder}", folder_), "{reason}",
                    error.message()));
        return;
    }
    open_(folder_);
}

std::string RunLogMenu::ReportText() {
    const ConverterFacts converter = engine_.Converter();
    std::string text = "Palomix " + std::string(kVersion);
    if (!kLicence.empty()) {
        text += " (" + std::string(kLicence) + ")";
    }
    text += "\nConverter: " + ConverterText(converter) + "\nMedia probe: " +
            (converter.probeWay.empty() ? std::string("none") : converter.probeWay) + "\n";
    const std::optional<std::string> newest =
        folder_.empty() ? std::nullopt : NewestRunLog(folder_);
    text += "Run log: " + newest.value_or("none yet") + "\n";
    return text;
}

void RunLogMenu::ReportProblem() {
    const std::optional<std::string> newest =
        folder_.empty() ? std::nullopt : NewestRunLog(folder_);
    QGuiApplication::clipboard()->setText(Q(ReportText()));
    const RunLogTexts& texts = RunLogTextsFor(language_);
    say_(newest ? FillIn(texts.reportCopiedFormat, "{path}", *newest)
                : std::string(texts.reportCopiedNoLog));
}

}  // namespace palomix
