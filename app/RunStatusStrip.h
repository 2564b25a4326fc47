// The one-line status left of the Stop button. It shows its text over the window's
// background, cut with an ellipsis when it is too long (the failure list behind it has the
// whole story), and reports a click while it has something to tell.
#pragma once

#include <QLabel>
#include <functional>

namespace palomix {

class TRunStatusStrip final : public QLabel {
    Q_OBJECT

public:
    explicit TRunStatusStrip(QWidget* parent = nullptr);

    // The full text; empty shows nothing.
    void SetStatus(const QString& text, bool clickable);
    const QString& Status() const { return status_; }
    bool Clickable() const { return clickable_; }

    std::function<void()> OnClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowElided();

    QString status_;
    bool clickable_ = false;
};

}  // namespace palomix
