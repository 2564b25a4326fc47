#include "app/AboutBox.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

namespace palomix {

namespace {

constexpr std::string_view kVersionStart = "ffmpeg version ";
constexpr std::string_view kConfigurationStart = "configuration:";

bool HasOption(std::string_view line, std::string_view option) {
    for (std::size_t at = line.find(option); at != std::string_view::npos;
         at = line.find(option, at + 1)) {
        const std::size_t end = at + option.size();
        if ((at == 0 || line[at - 1] == ' ') && (end == line.size() || line[end] == ' ')) {
            return true;
        }
    }
    return false;
}

std::string_view LicenceWords(ConverterVersion::Licence licence, const AboutTexts& texts) {
    switch (licence) {
        case ConverterVersion::Licence::Gpl3:
            return texts.gpl3;
        case ConverterVersion::Licence::Gpl2:
            return texts.gpl2;
        case ConverterVersion::Licence::Lgpl3:
            return texts.lgpl3;
        case ConverterVersion::Licence::Lgpl21:
            return texts.lgpl21;
        case ConverterVersion::Licence::NonFree:
            return texts.nonfree;
        case ConverterVersion::Licence::Unknown:
            break;
    }
    return {};
}

std::string ConverterWords(const ConverterAnswer& answer, const AboutTexts& texts) {
    switch (answer.state) {
        case ConverterAnswer::State::Looking:
            return std::string(texts.converterLooking);
        case ConverterAnswer::State::Missing:
            return std::string(texts.converterMissing);
        case ConverterAnswer::State::NoAnswer:
            return std::string(texts.converterNoAnswer);
        case ConverterAnswer::State::Found:
            break;
    }
    std::string words = answer.version.version;
    if (const std::string_view licence = LicenceWords(answer.version.licence, texts);
        !licence.empty()) {
        words.append(" (").append(licence).append(")");
    }
    return words;
}

}  // namespace

std::optional<ConverterVersion> ParseConverterVersion(std::string_view output) {
    std::optional<ConverterVersion> found;
    bool gpl = false;
    bool version3 = false;
    bool nonfree = false;
    bool configured = false;
    while (!output.empty()) {
        const std::size_t end = output.find('\n');
        std::string_view line = output.substr(0, end);
        output.remove_prefix(end == std::string_view::npos ? output.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!found && line.starts_with(kVersionStart)) {
            std::string_view rest = line.substr(kVersionStart.size());
            rest = rest.substr(0, rest.find(' '));
            if (!rest.empty()) {
                found = ConverterVersion{std::string(rest), ConverterVersion::Licence::Unknown};
            }
        } else if (line.starts_with(kConfigurationStart)) {
            configured = true;
            gpl = HasOption(line, "--enable-gpl");
            version3 = HasOption(line, "--enable-version3");
            nonfree = HasOption(line, "--enable-nonfree");
        }
    }
    if (found && configured) {
        using Licence = ConverterVersion::Licence;
        found->licence = nonfree    ? Licence::NonFree
                         : gpl      ? (version3 ? Licence::Gpl3 : Licence::Gpl2)
                         : version3 ? Licence::Lgpl3
                                    : Licence::Lgpl21;
    }
    return found;
}

std::string AboutText(const AboutFacts& facts, const AboutTexts& texts) {
    std::string text = "Palomix\n";
    std::string version(texts.versionFormat);
    version.replace(version.find("{version}"), std::string_view("{version}").size(), facts.version);
    text.append(version).append("\n");
    const auto line = [&text](std::string_view label, std::string_view value) {
        text.append(label).append(": ").append(value).append("\n");
    };
    line(texts.webSite, facts.webSite);
    line(texts.licence, facts.licence.empty() ? texts.licenceNotStated : facts.licence);
    line(texts.converter, ConverterWords(facts.converter, texts));
    text.append("\n");
    line(texts.programFolder, facts.programFolder);
    line(texts.stateFile, facts.stateFile);
    text.append(texts.settingsFolders).append(":\n");
    for (const std::string& folder : facts.settingsFolders) {
        text.append("    ").append(folder).append("\n");
    }
    return text;
}

ConverterVersionProbe::ConverterVersionProbe(QString program, QObject* parent)
    : QObject(parent), program_(std::move(program)) {}

ConverterVersionProbe::~ConverterVersionProbe() {
    if (process_ != nullptr) {
        process_->disconnect(this);
    }
}

void ConverterVersionProbe::Ask() {
    if (asked_) {
        return;
    }
    asked_ = true;
    process_ = new QProcess(this);
    process_->setProgram(program_);
    process_->setArguments({QStringLiteral("-version")});
    process_->setStandardInputFile(QProcess::nullDevice());
    process_->setProcessChannelMode(QProcess::MergedChannels);
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] {
        process_->disconnect(this);
        process_->kill();
        Finish(ConverterAnswer{ConverterAnswer::State::NoAnswer, {}});
    });
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            Finish(ConverterAnswer{ConverterAnswer::State::Missing, {}});
        }
    });
    connect(process_, &QProcess::finished, this, [this](int /*code*/, QProcess::ExitStatus) {
        const QByteArray output = process_->readAll();
        const std::optional<ConverterVersion> version = ParseConverterVersion(
            std::string_view(output.constData(), static_cast<std::size_t>(output.size())));
        Finish(version ? ConverterAnswer{ConverterAnswer::State::Found, *version}
                       : ConverterAnswer{ConverterAnswer::State::Missing, {}});
    });
    timer_->start(kTimeoutMilliseconds);
    process_->start();
}

void ConverterVersionProbe::Finish(ConverterAnswer answer) {
    if (answer_.state != ConverterAnswer::State::Looking) {
        return;  // answered already
    }
    timer_->stop();
    answer_ = std::move(answer);
    emit Answered();
}

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent), text_(new QLabel(this)), close_(new QPushButton(this)) {
    setModal(false);
    text_->setTextFormat(Qt::PlainText);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addLayout(buttons);
    close_->setDefault(true);
    connect(close_, &QPushButton::clicked, this, &QDialog::close);
}

void TAboutBox::SetContents(const QString& title, const QString& text,
                            const QString& closeCaption) {
    setWindowTitle(title);
    text_->setText(text);
    close_->setText(closeCaption);
}

QString TAboutBox::Contents() const {
    return text_->text();
}

}  // namespace palomix
