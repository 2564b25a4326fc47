// The About box of the Help menu: the version, the web site, the licence, the ffmpeg found in
// cores with its licence, how media files are probed, and the folders and files the program
// uses. What is known of ffmpeg comes from the core, which asks it in the background: the box
// shows "looking..." until the answer is there, never waits for it, and fills in the answer
// when the core has it.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "app/Captions.h"
#include "engine/Engine.h"

class QLabel;
class QPushButton;
class QWidget;

namespace palomix {

// The facts the box shows.
struct AboutFacts {
    std::string version;
    std::string webSite;  // empty: the build has none
    std::string licence;  // empty: the build states none
    ConverterFacts converter;
    std::string programFolder;
    std::string stateFile;
    std::vector<std::string> settingsFolders;
};

// The text of the box, one fact a line.
std::string AboutText(const AboutFacts& facts, const AboutTexts& texts);

class TAboutBox final : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent = nullptr);

    void SetContents(const QString& title, const QString& text, const QString& closeCaption);
    QString Contents() const;

private:
    QLabel* text_;
    QPushButton* close_;
};

// Keeps the box of a window filled: made when first asked for, its converter line brought up to
// date when the core has read ffmpeg, its texts in the window's language.
class AboutPresenter final : private EngineObserver {
public:
    // `facts`: all but the converter's, which the core tells.
    AboutPresenter(Engine& engine, QWidget& window, AboutFacts facts,
                   std::function<Language()> language);
    ~AboutPresenter() override;
    AboutPresenter(const AboutPresenter&) = delete;
    AboutPresenter& operator=(const AboutPresenter&) = delete;

    // Shows the box in front (the Help menu's item).
    void Show();
    // Writes the box anew while it is shown (a change of language).
    void Refresh();
    void Close();
    // nullptr until first shown.
    TAboutBox* Box() const { return box_; }

private:
    void ConverterChecked() override { Refresh(); }

    Engine& engine_;
    QWidget& window_;
    AboutFacts facts_;
    std::function<Language()> language_;
    TAboutBox* box_ = nullptr;  // the window's child
};

}  // namespace palomix
