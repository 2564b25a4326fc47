// The About box of the Help menu: the version, the web site, the licence, the ffmpeg found in
// cores with its licence, and the folders and files the program uses. The ffmpeg version comes
// from running "cores/ffmpeg -version" once, in the background: the box shows "looking..."
// until the answer is there, and never waits for it.
#pragma once

#include <QDialog>
#include <QProcess>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/Captions.h"

class QLabel;
class QPushButton;
class QTimer;

namespace palomix {

// What "ffmpeg -version" says: the version, and the licence its configuration line implies.
struct ConverterVersion {
    enum class Licence { Unknown, Gpl3, Gpl2, Lgpl3, Lgpl21, NonFree };
    std::string version;
    Licence licence = Licence::Unknown;

    friend bool operator==(const ConverterVersion&, const ConverterVersion&) = default;
};

// The version of the first line "ffmpeg version X ..." and the licence of the line
// "configuration: ..." (--enable-nonfree, --enable-gpl, --enable-version3); nullopt when the
// output names no version.
std::optional<ConverterVersion> ParseConverterVersion(std::string_view output);

// What became of the question to the converter.
struct ConverterAnswer {
    enum class State { Looking, Found, Missing, NoAnswer };
    State state = State::Looking;
    ConverterVersion version;  // Found
};

// The facts the box shows.
struct AboutFacts {
    std::string version;
    std::string webSite;
    std::string licence;  // empty: the build states none
    ConverterAnswer converter;
    std::string programFolder;
    std::string stateFile;
    std::vector<std::string> settingsFolders;
};

// The text of the box, one fact a line.
std::string AboutText(const AboutFacts& facts, const AboutTexts& texts);

// Asks the converter for its version once, in the background, and keeps the answer.
class ConverterVersionProbe final : public QObject {
    Q_OBJECT

public:
    static constexpr int kTimeoutMilliseconds = 5000;

    // `program`: the converter to run with "-version".
    explicit ConverterVersionProbe(QString program, QObject* parent = nullptr);
    ~ConverterVersionProbe() override;

    // Starts the question, the first time only.
    void Ask();
    const ConverterAnswer& Answer() const { return answer_; }

signals:
    void Answered();

private:
    void Finish(ConverterAnswer answer);

    QString program_;
    QProcess* process_ = nullptr;
    QTimer* timer_ = nullptr;
    bool asked_ = false;
    ConverterAnswer answer_;
};

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

}  // namespace palomix
