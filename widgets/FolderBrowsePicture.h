// The folder picture on the button of the folder browse field, drawn in code.
#pragma once

#include <QPixmap>

namespace palomix {

constexpr int kFolderPictureWidth = 13;
constexpr int kFolderPictureHeight = 14;

// A closed yellow folder with a tab at its top left, on a transparent background.
QPixmap FolderPicture();

}  // namespace palomix
