#include "widgets/FolderBrowsePicture.h"

#include <QPainter>

namespace palomix {

QPixmap FolderPicture() {
    QPixmap picture(kFolderPictureWidth, kFolderPictureHeight);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    const QColor outline(128, 96, 0);
    const QColor back(230, 184, 60);
    const QColor front(255, 214, 90);
    const QColor shine(255, 240, 176);

    // The tab and the back panel.
    painter.fillRect(QRect(1, 3, 5, 2), back);
    painter.fillRect(QRect(1, 4, 11, 8), back);
    painter.setPen(outline);
    painter.drawLine(1, 3, 5, 3);
    painter.drawLine(5, 3, 6, 4);
    painter.drawLine(6, 4, 11, 4);
    // The front flap, slightly lower, with a light upper edge.
    painter.fillRect(QRect(1, 6, 11, 6), front);
    painter.setPen(shine);
    painter.drawLine(2, 7, 10, 7);
    // The outline around everything.
    painter.setPen(outline);
    painter.drawLine(0, 4, 0, 12);
    painter.drawLine(12, 5, 12, 12);
    painter.drawLine(0, 12, 12, 12);
    painter.drawLine(1, 6, 11, 6);
    return picture;
}

}  // namespace palomix
