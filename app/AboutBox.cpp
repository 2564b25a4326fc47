#include "app/AboutBox.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "app/QtText.h"

namespace palomix {

namespace {

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

std::string ConverterWords(const ConverterFacts& converter, const AboutTexts& texts) {
    if (converter.version) {
        std::string words = converter.version->version;
        if (const std::string_view licence = LicenceWords(converter.version->licence, texts);
            !licence.empty()) {
            words.append(" (").append(licence).append(")");
        }
        return words;
    }
    switch (converter.state) {
        case ConverterFacts::State::Absent:
            return std::string(texts.converterMissing);
        case ConverterFacts::State::Reading:
            return std::string(texts.converterLooking);
        case ConverterFacts::State::Known:
        case ConverterFacts::State::Unreadable:
            break;
    }
    return std::string(texts.converterNoAnswer);
}

}  // namespace

std::string AboutText(const AboutFacts& facts, const AboutTexts& texts) {
    std::string text = "Palomix\n";
    std::string version(texts.versionFormat);
    version.replace(version.find("{version}"), std::string_view("{version}").size(), facts.version);
    text.append(version).append("\n");
    const auto line = [&text](std::string_view label, std::string_view value) {
        text.append(label).append(": ").append(value).append("\n");
    };
    if (!facts.webSite.empty()) {
        line(texts.webSite, facts.webSite);
    }
    line(texts.licence, facts.licence.empty() ? texts.licenceNotStated : facts.licence);
    line(texts.converter, ConverterWords(facts.converter, texts));
    line(texts.probe,
         facts.converter.probeWay.empty() ? texts.probeNone : facts.converter.probeWay);
    text.append("\n");
    line(texts.programFolder, facts.programFolder);
    line(texts.stateFile, facts.stateFile);
    text.append(texts.settingsFolders).append(":\n");
    for (const std::string& folder : facts.settingsFolders) {
        text.append("    ").append(folder).append("\n");
    }
    return text;
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

AboutPresenter::AboutPresenter(Engine& engine, QWidget& window, AboutFacts facts,
                               std::function<Language()> language)
    : engine_(engine), window_(window), facts_(std::move(facts)), language_(std::move(language)) {
    engine_.AddObserver(this);
}

AboutPresenter::~AboutPresenter() {
    engine_.RemoveObserver(this);
}

void AboutPresenter::Show() {
    if (box_ == nullptr) {
        box_ = new TAboutBox(&window_);
        box_->setAcceptDrops(false);
    }
    box_->show();
    Refresh();
    box_->raise();
    box_->activateWindow();
}

void AboutPresenter::Refresh() {
    if (box_ == nullptr || !box_->isVisible()) {
        return;
    }
    // Asking starts the core's reading of ffmpeg the first time (and after it changed).
    facts_.converter = engine_.Converter();
    const AboutTexts& texts = AboutTextsFor(language_());
    box_->SetContents(Q(texts.title), Q(AboutText(facts_, texts)), Q(texts.closeButton));
}

void AboutPresenter::Close() {
    if (box_ != nullptr) {
        box_->close();
    }
}

}  // namespace palomix
