#include "widgets/GradBox.h"

#include <QEvent>
#include <QPainter>
#include <cstddef>

#include "controllogic/GradBands.h"
#include "widgets/GradBoxPalette.h"

namespace palomix {
namespace {

// Word wrap inside the area, tabs expanded, '&' marks the underlined character, top-left.
constexpr int kCaptionFlags =
    Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs | Qt::TextShowMnemonic;

// Stores `value` and asks for a repaint when it changed and `repaintWhen` holds.
template <typename T>
void Store(QWidget& box, T& field, const T& value, bool repaintWhen = true) {
    if (field == value) {
        return;
    }
    field = value;
    if (repaintWhen) {
        box.update();
    }
}

}  // namespace

TGradBox::TGradBox(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    resize(200, 100);
}

void TGradBox::SetCaptionLeft(std::int32_t value) {
    Store(*this, captionLeft_, value);
}
void TGradBox::SetCaptionTop(std::int32_t value) {
    Store(*this, captionTop_, value);
}
void TGradBox::SetTopColor(TColor value) {
    Store(*this, topColor_, value);
}
void TGradBox::SetLastColor(TColor value) {
    Store(*this, lastColor_, value);
}
void TGradBox::SetOutLineColor(TColor value) {
    Store(*this, outLineColor_, value, drawOutLine_);
}
void TGradBox::SetDrawOutLine(bool value) {
    Store(*this, drawOutLine_, value);
}
void TGradBox::SetGradStyle(TGradStyle value) {
    Store(*this, gradStyle_, value);
}
void TGradBox::SetFont3D(bool value) {
    Store(*this, font3D_, value);
}
void TGradBox::SetFontDepth(std::uint8_t value) {
    Store(*this, fontDepth_, value, font3D_);
}
void TGradBox::SetStyle3D(TFontStyle3D value) {
    Store(*this, style3D_, value);
}
void TGradBox::SetBackFont(TColor value) {
    Store(*this, backFont_, value, font3D_);
}
void TGradBox::SetCaption(const std::string& value) {
    Store(*this, caption_, value);
}
void TGradBox::SetFontColor(TColor value) {
    Store(*this, fontColor_, value);
}

GradColorTable TGradBox::SetColarray(TColor first, TColor second, TGradStyle style) const {
    return BuildGradColorTable(first, second, style, QtSystemColors(palette()));
}

void TGradBox::paintEvent(QPaintEvent* /*event*/) {
    {
        QPainter painter(this);
        PaintGradient(painter);
        painter.setFont(font());
        PaintOutLine(painter);
        DrawCaptionText(
            painter, QRect(QPoint(captionLeft_, captionTop_), QPoint(width() - 1, height() - 1)));
    }
    if (OnPaint) {
        OnPaint(*this);
    }
}

void TGradBox::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    switch (event->type()) {
        case QEvent::EnabledChange:
        case QEvent::FontChange:
        case QEvent::PaletteChange:
            update();
            break;
        default:
            break;
    }
}

void TGradBox::PaintGradient(QPainter& painter) const {
    if (gradStyle_ == gsNone) {
        return;
    }
    const GradColorTable colors = SetColarray(topColor_, lastColor_, gradStyle_);
    const bool vertical = IsVerticalGradStyle(gradStyle_);
    const GradBandList bands = GradBands(vertical ? height() : width());
    const QPalette& pal = palette();
    for (std::size_t i = 0; i < bands.size(); ++i) {
        const GradBand& band = bands[i];
        const QRect fill = vertical ? QRect(0, band.start, width(), band.end - band.start)
                                    : QRect(band.start, 0, band.end - band.start, height());
        painter.fillRect(fill, ToQColor(colors[i], pal));
    }
}

void TGradBox::PaintOutLine(QPainter& painter) const {
    if (!drawOutLine_) {
        return;
    }
    painter.setPen(QPen(ToQColor(outLineColor_, palette()), 0, Qt::SolidLine));
    painter.setBrush(Qt::NoBrush);
    // A one-pixel frame on the box's outermost pixels.
    painter.drawRect(QRect(0, 0, width() - 1, height() - 1));
}

void TGradBox::DrawCaptionText(QPainter& painter, const QRect& area) const {
    if (caption_.empty()) {
        return;
    }
    const QString text = QString::fromStdString(caption_);
    const CaptionLook look{isEnabled(), font3D_, fontDepth_, style3D_, backFont_, fontColor_};
    const QPalette& pal = palette();
    for (const CaptionPass& pass : CaptionPasses(look)) {
        painter.setPen(ToQColor(pass.color, pal));
        painter.drawText(area.translated(pass.dx, pass.dy), kCaptionFlags, text);
    }
}

}  // namespace palomix
