#include "widgets/GradBox.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QImage>
#include <QPainter>

#include "widgets/GradBoxPalette.h"

namespace palomix {
namespace {

constexpr TColor kWhite = RGBColor(255, 255, 255);
constexpr TColor kLightGrey = RGBColor(226, 226, 226);
constexpr TColor kUnderneath = RGBColor(0, 0, 255);
constexpr TColor kRed = RGBColor(255, 0, 0);
constexpr TColor kBlack = RGBColor(0, 0, 0);

TColor PixelAt(const QImage& image, int x, int y) {
    return FromQColor(image.pixelColor(x, y));
}

// Paints the box over a surface of kUnderneath, so that whatever the box leaves unpainted
// shows through.
QImage Render(TGradBox& box) {
    QImage image(box.size(), QImage::Format_RGB32);
    image.fill(QColor(0, 0, 255));
    box.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

int CountPixels(const QImage& image, TColor color) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += PixelAt(image, x, y) == color ? 1 : 0;
        }
    }
    return count;
}

// The main window's background.
void SetUpBackground(TGradBox& box) {
    box.SetTopColor(kWhite);
    box.SetLastColor(kLightGrey);
    box.SetGradStyle(gsTopBottom);
    box.SetCaptionLeft(0);
    box.SetCaptionTop(0);
}

void SetUpCaption(TGradBox& box, const char* text) {
    QFont font("DejaVu Sans");
    font.setPixelSize(20);
    font.setStyleStrategy(QFont::NoAntialias);
    box.setFont(font);
    box.SetFontColor(kBlack);
    box.SetBackFont(kRed);
    box.SetCaption(text);
}

TEST(GradBox, NewBoxHasItsDefaults) {
    const TGradBox box;
    EXPECT_EQ(box.size(), QSize(200, 100));
    EXPECT_EQ(box.CaptionLeft(), 10);
    EXPECT_EQ(box.CaptionTop(), 10);
    EXPECT_EQ(box.TopColor(), RGBColor(0, 128, 0));
    EXPECT_EQ(box.LastColor(), RGBColor(0, 255, 0));
    EXPECT_EQ(box.OutLineColor(), kBlack);
    EXPECT_FALSE(box.DrawOutLine());
    EXPECT_EQ(box.GradStyle(), gsTopBottom);
    EXPECT_FALSE(box.Font3D());
    EXPECT_EQ(box.FontDepth(), 1);
    EXPECT_EQ(box.Style3D(), fsRaise3D);
    EXPECT_EQ(box.BackFont(), RGBColor(255, 255, 0));
    EXPECT_EQ(box.focusPolicy(), Qt::NoFocus);
}

TEST(GradBox, MainWindowBackgroundPaintsTwoPixelBandsToTheBottomRow) {
    TGradBox box;
    SetUpBackground(box);
    box.resize(4, 465);
    const QImage image = Render(box);
    // Fill 1 covers fill 0, so the top rows show entry 1; fill 2 starts at row 1.
    EXPECT_EQ(PixelAt(image, 0, 0), RGBColor(254, 254, 254));
    EXPECT_EQ(PixelAt(image, 3, 1), RGBColor(254, 254, 254));    // entry 2: 254.77
    EXPECT_EQ(PixelAt(image, 0, 232), RGBColor(240, 240, 240));  // fill 128: rows 231..232
    EXPECT_EQ(PixelAt(image, 0, 463), kLightGrey);
    EXPECT_EQ(PixelAt(image, 3, 464), kLightGrey);
    EXPECT_EQ(CountPixels(image, kUnderneath), 0);
    // From top to bottom the rows only get darker.
    for (int y = 1; y < 465; ++y) {
        ASSERT_LE(image.pixelColor(0, y).red(), image.pixelColor(0, y - 1).red()) << y;
    }
}

TEST(GradBox, HorizontalStylesRunAcrossTheColumns) {
    TGradBox box;
    box.SetTopColor(kBlack);
    box.SetLastColor(kWhite);
    box.SetGradStyle(gsRightLeft);  // LastColor at the left
    box.resize(510, 3);
    const QImage image = Render(box);
    EXPECT_EQ(PixelAt(image, 509, 0), kBlack);
    EXPECT_EQ(PixelAt(image, 509, 2), kBlack);
    EXPECT_EQ(PixelAt(image, 0, 1), RGBColor(254, 254, 254));
    EXPECT_EQ(image.pixelColor(255, 1).red(), 127);  // fill 128 (entry 255 - 128): columns 254..256
}

TEST(GradBox, GsNoneLeavesTheSurfaceButDrawsOutlineAndCaption) {
    TGradBox box;
    box.SetGradStyle(gsNone);
    box.SetDrawOutLine(true);
    box.SetOutLineColor(kRed);
    SetUpCaption(box, "Hi");
    box.resize(80, 40);
    const QImage image = Render(box);
    EXPECT_EQ(PixelAt(image, 40, 30), kUnderneath);
    for (const QPoint corner : {QPoint(0, 0), QPoint(79, 0), QPoint(0, 39), QPoint(79, 39)}) {
        EXPECT_EQ(PixelAt(image, corner.x(), corner.y()), kRed) << corner.x() << "," << corner.y();
    }
    EXPECT_EQ(PixelAt(image, 1, 1), kUnderneath);
    EXPECT_EQ(PixelAt(image, 78, 38), kUnderneath);
    EXPECT_GT(CountPixels(image, kBlack), 10);  // the caption
}

TEST(GradBox, LayeredCaptionDrawsOneLayerPerDepthPixelAndNoneAtDepthZero) {
    TGradBox box;
    box.SetTopColor(kWhite);
    box.SetLastColor(kWhite);
    SetUpCaption(box, "Hi");
    box.SetFont3D(true);
    box.SetStyle3D(fsLow3D);
    box.resize(80, 50);

    box.SetFontDepth(0);
    const QImage flat = Render(box);
    EXPECT_EQ(CountPixels(flat, kRed), 0);
    const int textPixels = CountPixels(flat, kBlack);
    EXPECT_GT(textPixels, 10);

    box.SetFontDepth(3);
    const QImage deep = Render(box);
    EXPECT_GT(CountPixels(deep, kRed), 0);
    EXPECT_EQ(CountPixels(deep, kBlack), textPixels) << "the text pass is drawn last, on top";
    // The layers lie below and right of the text, not above or left.
    box.SetStyle3D(fsRaise3D);
    const QImage raised = Render(box);
    EXPECT_GT(CountPixels(raised, kRed), 0);
    EXPECT_NE(deep, raised);
}

TEST(GradBox, DisabledCaptionIsGreyOverAWhiteCopy) {
    TGradBox box;
    box.SetTopColor(kBlack);
    box.SetLastColor(kBlack);
    SetUpCaption(box, "Hi");
    box.SetFont3D(true);
    box.setEnabled(false);
    box.resize(80, 50);
    const QImage image = Render(box);
    EXPECT_GT(CountPixels(image, RGBColor(128, 128, 128)), 10);
    EXPECT_GT(CountPixels(image, kWhite), 0);
    EXPECT_EQ(CountPixels(image, kRed), 0);
}

TEST(GradBox, CaptionWrapsAtWordsInsideItsArea) {
    TGradBox box;
    box.SetTopColor(kWhite);
    box.SetLastColor(kWhite);
    SetUpCaption(box, "Wrap these words");
    box.SetCaptionLeft(5);
    box.SetCaptionTop(2);
    box.resize(90, 100);
    const QImage image = Render(box);
    int lowestInk = -1;
    int leftmostInk = 1000;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (PixelAt(image, x, y) == kBlack) {
                lowestInk = std::max(lowestInk, y);
                leftmostInk = std::min(leftmostInk, x);
            }
        }
    }
    EXPECT_GT(lowestInk, 40) << "three words of 20 pixels do not fit on one line of 85";
    EXPECT_GE(leftmostInk, 5);
}

TEST(GradBox, SettersRepaintOnlyOnARealChange) {
    TGradBox box;
    int paints = 0;
    box.OnPaint = [&paints](TGradBox&) { ++paints; };
    box.show();
    QApplication::processEvents();
    ASSERT_GT(paints, 0) << "the shown box must have been painted";

    const auto repaintsFor = [&](const auto& change) {
        QApplication::processEvents();
        const int before = paints;
        change();
        QApplication::processEvents();
        return paints - before;
    };

    EXPECT_EQ(repaintsFor([&] { box.SetTopColor(box.TopColor()); }), 0);
    EXPECT_EQ(repaintsFor([&] { box.SetCaptionLeft(10); }), 0);
    EXPECT_EQ(repaintsFor([&] { box.SetGradStyle(gsTopBottom); }), 0);
    EXPECT_EQ(repaintsFor([&] { box.SetTopColor(kRed); }), 1);
    EXPECT_EQ(repaintsFor([&] { box.SetCaption("x"); }), 1);
    EXPECT_EQ(repaintsFor([&] { box.SetCaption("x"); }), 0);

    // Changes that cannot show while their switch is off.
    EXPECT_EQ(repaintsFor([&] { box.SetOutLineColor(kRed); }), 0);
    EXPECT_EQ(repaintsFor([&] { box.SetFontDepth(4); }), 0);
    EXPECT_EQ(repaintsFor([&] { box.SetBackFont(kBlack); }), 0);
    EXPECT_EQ(box.OutLineColor(), kRed);
    EXPECT_EQ(box.FontDepth(), 4);

    EXPECT_EQ(repaintsFor([&] { box.SetDrawOutLine(true); }), 1);
    EXPECT_EQ(repaintsFor([&] { box.SetOutLineColor(kWhite); }), 1);
    EXPECT_EQ(repaintsFor([&] { box.SetFont3D(true); }), 1);
    EXPECT_EQ(repaintsFor([&] { box.SetFontDepth(5); }), 1);
    EXPECT_EQ(repaintsFor([&] { box.SetBackFont(kWhite); }), 1);
}

TEST(GradBox, OutlineColourChangedWhileOffShowsWhenTurnedOn) {
    TGradBox box;
    box.SetTopColor(kWhite);
    box.SetLastColor(kWhite);
    box.resize(20, 20);
    box.SetOutLineColor(kRed);
    EXPECT_EQ(PixelAt(Render(box), 0, 0), kWhite);
    box.SetDrawOutLine(true);
    EXPECT_EQ(PixelAt(Render(box), 0, 0), kRed);
}

TEST(GradBox, SystemColourAsTopColourPaintsItsCurrentValue) {
    TGradBox box;
    QPalette palette = box.palette();
    palette.setColor(QPalette::Button, QColor(10, 200, 30));
    box.setPalette(palette);
    box.SetTopColor(clBtnFace);
    box.SetLastColor(RGBColor(10, 200, 30));
    box.resize(3, 600);
    const QImage image = Render(box);
    EXPECT_EQ(PixelAt(image, 0, 300), RGBColor(10, 200, 30));
    EXPECT_EQ(PixelAt(image, 0, 599), RGBColor(10, 200, 30));
}

}  // namespace
}  // namespace palomix
