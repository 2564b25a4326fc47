// The one-line status left of the Stop button. It shows its text over the window's
// background, followed by a hint when there is room for both, shortened with an ellipsis when
// the text alone is too long: a text that names a path gives way in the middle of the path's
// folders first ("/home/…/ffmpeg"), then before the path, so that the reason after it stays
// whole; any other text is cut at its end. The whole text and hint are its tool tip. It
// reports a click while it has something to tell.
#pragma once

#include <QLabel>
#include <functional>

namespace palomix {

class TRunStatusStrip final : public QLabel {
    Q_OBJECT

public:
    explicit TRunStatusStrip(QWidget* parent = nullptr);

    // The full text; empty shows nothing. `path`: a part of the text that is a path, to be
    // shortened in its middle. `hint`: shown after the text when both fit.
    void SetStatus(const QString& text, bool clickable, const QString& path = {},
                   const QString& hint = {});
    // The text and its hint.
    QString Status() const { return status_ + hint_; }
    bool Clickable() const { return clickable_; }

    std::function<void()> OnClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void ShowElided();

    QString status_;
    QString path_;
    QString hint_;
    bool clickable_ = false;
};

}  // namespace palomix
