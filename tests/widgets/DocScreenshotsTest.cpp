// Writes the pictures of the controls shown in docs/ (docs/multicolumn-list.png,
// docs/gradient-box.png) when PALOMIX_SCREENSHOT_DIR names a folder; skipped otherwise.
//   PALOMIX_SCREENSHOT_DIR=docs widgets_tests --gtest_filter='DocScreenshots.*'
#include <gtest/gtest.h>
#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QtGlobal>

#include "widgets/GradBox.h"
#include "widgets/MCCBox.h"
#include "tests/widgets/SettingsListSetUp.h"

namespace palomix {
namespace {

QString ScreenshotFolder() {
    return qEnvironmentVariable("PALOMIX_SCREENSHOT_DIR");
}

QFont JapaneseFont(int pixels) {
    QFont font("IPAPGothic");
    font.setFamilies({"IPAPGothic", "Noto Sans CJK JP"});
    font.setPixelSize(pixels);
    return font;
}

TEST(DocScreenshots, OpenMultiColumnList) {
    const QString folder = ScreenshotFolder();
    if (folder.isEmpty()) {
        GTEST_SKIP() << "PALOMIX_SCREENSHOT_DIR not set";
    }
    TMultiColComboBox box;
    box.setFont(JapaneseFont(12));
    testing::SetUpSettingsFileColumns(box);
    for (int i = 0; i < box.Columns().Count(); ++i) {
        box.Columns()[i].SetFont(JapaneseFont(12));
    }
    for (
        const char* line : {
            R"~("携帯電話 動画 (QVGA)","携帯電話向けに 320x240 の MPEG-4 動画へ変換します","phone_video.ini")~",
            R"~("Phone video (QVGA)","Converts to 320x240 MPEG-4 video for mobile phones","phone_video_e.ini")~",
            R"~("PSP 動画","PSP 用に 480x272 の H.264 動画へ変換します","psp_video.ini")~",
            R"~("WALKMAN 音楽","MP3 128kbps に変換して WALKMAN へ書き込みます","walkman_music.ini")~",
            R"~("Music player","MP3 at 128 kbps, written straight to the player","music_e.ini")~",
            R"~("画像 縮小","JPEG 画像を 640x480 に縮小します","pictures.ini")~",
        }) {
        box.AddItem(line);
    }
    box.SetItemIndex(1);
    box.move(12, 28);
    box.resize(380, 20);
    box.show();
    box.showPopup();
    QApplication::processEvents();

    // The list as it opens below the control on a screen wide enough for it (the offscreen
    // screen is narrower than the list, so its real position is not used).
    QWidget* popup = box.view()->window();
    const QPixmap closed = box.grab();
    const QPixmap open = popup->grab();
    QImage shot(qMax(closed.width(), open.width()) + 8, closed.height() + open.height() + 8,
                QImage::Format_RGB32);
    shot.fill(QColor(226, 226, 226));
    {
        QPainter painter(&shot);
        painter.drawPixmap(4, 4, closed);
        painter.drawPixmap(4, 4 + closed.height(), open);
    }
    box.hidePopup();
    EXPECT_EQ(popup->width(), 1056);
    EXPECT_TRUE(shot.save(QDir(folder).filePath("multicolumn-list.png")));
}

TEST(DocScreenshots, GradientBoxWith3DCaption) {
    const QString folder = ScreenshotFolder();
    if (folder.isEmpty()) {
        GTEST_SKIP() << "PALOMIX_SCREENSHOT_DIR not set";
    }
    TGradBox box;
    box.resize(404, 140);
    box.SetTopColor(RGBColor(255, 255, 255));
    box.SetLastColor(RGBColor(120, 160, 210));
    box.SetGradStyle(gsTopBottom);
    box.SetDrawOutLine(true);
    box.SetOutLineColor(RGBColor(70, 70, 70));
    QFont font = JapaneseFont(30);
    font.setBold(true);
    box.setFont(font);
    box.SetFontColor(RGBColor(255, 255, 255));
    box.SetFont3D(true);
    box.SetStyle3D(fsLow3D);
    box.SetFontDepth(3);
    box.SetBackFont(RGBColor(40, 60, 110));
    box.SetCaptionLeft(16);
    box.SetCaptionTop(20);
    box.SetCaption("Palomix\nグラデーション &Box");
    EXPECT_TRUE(box.grab().save(QDir(folder).filePath("gradient-box.png")));
}

}  // namespace
}  // namespace palomix
