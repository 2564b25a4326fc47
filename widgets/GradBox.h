// TGradBox: a light-weight control that paints a two-colour linear gradient over its whole
// area, an optional one-pixel outline and an optional caption with a shadow or layered 3D
// effect. It has no native window and takes no keyboard focus; with gsNone whatever lies
// below it shows through.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

#include "controllogic/GradCaptionPasses.h"
#include "controllogic/GradColors.h"
#include "controllogic/SystemColors.h"

namespace palomix {

class TGradBox : public QWidget {
    Q_OBJECT

public:
    explicit TGradBox(QWidget* parent = nullptr);

    std::int32_t CaptionLeft() const { return captionLeft_; }
    std::int32_t CaptionTop() const { return captionTop_; }
    TColor TopColor() const { return topColor_; }
    TColor LastColor() const { return lastColor_; }
    TColor OutLineColor() const { return outLineColor_; }
    bool DrawOutLine() const { return drawOutLine_; }
    TGradStyle GradStyle() const { return gradStyle_; }
    bool Font3D() const { return font3D_; }
    std::uint8_t FontDepth() const { return fontDepth_; }
    TFontStyle3D Style3D() const { return style3D_; }
    TColor BackFont() const { return backFont_; }
    const std::string& Caption() const { return caption_; }
    // Colour of the caption text (the colour of the box's font).
    TColor FontColor() const { return fontColor_; }

    // Each setter stores the value and repaints only when it differs from the stored one.
    void SetCaptionLeft(std::int32_t value);
    void SetCaptionTop(std::int32_t value);
    void SetTopColor(TColor value);
    void SetLastColor(TColor value);
    // Repaints only while DrawOutLine is on.
    void SetOutLineColor(TColor value);
    void SetDrawOutLine(bool value);
    void SetGradStyle(TGradStyle value);
    void SetFont3D(bool value);
    // Repaints only while Font3D is on.
    void SetFontDepth(std::uint8_t value);
    void SetStyle3D(TFontStyle3D value);
    // Repaints only while Font3D is on.
    void SetBackFont(TColor value);
    void SetCaption(const std::string& value);
    void SetFontColor(TColor value);

    // Called after every paint, with the box.
    std::function<void(TGradBox&)> OnPaint;

    // The colour table that the next paint fills with (not for gsNone).
    GradColorTable SetColarray(TColor first, TColor second, TGradStyle style) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void PaintGradient(QPainter& painter) const;
    void PaintOutLine(QPainter& painter) const;
    void DrawCaptionText(QPainter& painter, const QRect& area) const;

    std::int32_t captionLeft_ = 10;
    std::int32_t captionTop_ = 10;
    TColor topColor_ = RGBColor(0, 128, 0);
    TColor lastColor_ = RGBColor(0, 255, 0);
    TColor outLineColor_ = RGBColor(0, 0, 0);
    bool drawOutLine_ = false;
    TGradStyle gradStyle_ = gsTopBottom;
    bool font3D_ = false;
    std::uint8_t fontDepth_ = 1;
    TFontStyle3D style3D_ = fsRaise3D;
    TColor backFont_ = RGBColor(255, 255, 0);
    std::string caption_;
    TColor fontColor_ = clWindowText;
};

}  // namespace palomix
