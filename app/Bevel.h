// A lowered box: a one-pixel frame, dark along the top and left edges and light along the
// bottom and right ones, so that it looks pressed into the surface. The window uses a flat
// one as the separator line above the drop area.
#pragma once

#include <QWidget>

namespace palomix {

class TBevel final : public QWidget {
    Q_OBJECT

public:
    explicit TBevel(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace palomix
