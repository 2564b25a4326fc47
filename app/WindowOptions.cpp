#include "app/WindowOptions.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/QtText.h"
#include "engine/Engine.h"
#include "palomix/BuildInfo.h"
#include "platform/ExecutablePath.h"
#include "platform/ProcessLauncher.h"

namespace palomix {

namespace {

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

}  // namespace

WindowOptions ReadWindowOptions(const QStringList& arguments,
                                const std::function<std::string()>& versionText) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Converts video, music and pictures for phones and players, file by file, with the "
        "conversion settings chosen in its window. Files given here join the window's queue "
        "(the running window's, when one runs), and the window asks before it converts them."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Files or folders to convert."),
                                 QStringLiteral("[files...]"));
    if (!parser.parse(arguments)) {
        return {WindowOptions::Action::Refuse,
                "palomix: " + Utf8(parser.errorText()) + "\nTry 'palomix --help'.\n"};
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        return {WindowOptions::Action::ShowHelp, Utf8(parser.helpText())};
    }
    if (parser.isSet(version)) {
        return {WindowOptions::Action::ShowVersion, versionText()};
    }
    return {};
}

std::string WindowVersionText(std::string_view version, std::string_view probeWay,
                              std::string_view licence) {
    std::string text = "palomix ";
    text.append(version).append("\n");
    text.append("Media probe: ").append(probeWay.empty() ? "none" : probeWay).append("\n");
    text.append("Licence: ").append(licence.empty() ? "not stated in this build" : licence);
    return text.append("\n");
}

namespace {

// How this copy probes media files, as its window's core would: a core over the program folder
// that starts nothing.
std::string ProbeWayOfThisCopy() {
    EngineSetup setup;
    setup.programFolder = ExecutableFolder();
    setup.makeLauncher = [](PostToHost) { return RefusingLauncher(); };
    Engine core(std::move(setup), [](std::function<void()>) {});
    return core.Converter().probeWay;
}

}  // namespace

MinimalPlatformArguments::MinimalPlatformArguments(int argc, char* argv[])
    : words_(argv, argv + argc) {
    words_.insert(words_.end(), {"-platform", "minimal"});
    for (std::string& word : words_) {
        pointers_.push_back(word.data());
    }
    pointers_.push_back(nullptr);
    count = static_cast<int>(words_.size());
}

int AnswerWindowOptions(int argc, char* argv[]) {
    MinimalPlatformArguments arguments(argc, argv);
    WindowOptions options;
    {
        // Qt takes its own options out of the copy; the rest are the program's.
        const QApplication qt(arguments.count, arguments.argv());
        options = ReadWindowOptions(QApplication::arguments(), [] {
            return WindowVersionText(kVersion, ProbeWayOfThisCopy(), kLicence);
        });
    }
    switch (options.action) {
        case WindowOptions::Action::OpenWindow:
            return -1;
        case WindowOptions::Action::ShowHelp:
        case WindowOptions::Action::ShowVersion:
            std::fputs(options.text.c_str(), stdout);
            return 0;
        case WindowOptions::Action::Refuse:
            std::fputs(options.text.c_str(), stderr);
            return kRefusedExitCode;
    }
    return -1;
}

}  // namespace palomix
