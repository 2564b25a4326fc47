// The window's looks: its controls at their fixed places with their colours and fonts, the
// grid's frame, lines and column widths, the menu bar, and the captions written into them in
// a language. Nothing here is connected to anything: the window and its parts give the
// controls their behaviour.
//
// The window is fixed at a client area of 404 x 465 pixels below its menu bar.
#pragma once

#include <QFont>

#include "app/Captions.h"
#include "settings/Language.h"

class QAbstractItemModel;
class QAction;
class QLabel;
class QListWidget;
class QMainWindow;
class QMenu;
class QPushButton;
class QTimer;
class QWidget;

namespace palomix {

class TBevel;
class TFolderBrowseEdit;
class TGradBox;
class TMultiColComboBox;
class TRunStatusStrip;
class TStringGrid;

// Window geometry.
inline constexpr int kClientWidth = 404;
inline constexpr int kClientHeight = 465;
inline constexpr int kInitialLeft = 20;
inline constexpr int kInitialTop = 20;

// The controls of the window, named by kind and number. TMainForm1 inherits them, so that they
// keep their names on the window; the parts of the window that serve a control hold these.
struct WindowControls {
    QWidget* ClientArea = nullptr;
    TGradBox* GradBox0 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    TBevel* Bevel1 = nullptr;
    TStringGrid* StringGrid2 = nullptr;
    TMultiColComboBox* MultiComboBox1 = nullptr;
    TMultiColComboBox* MultiComboBox2 = nullptr;
    TFolderBrowseEdit* BrowserEdit1 = nullptr;
    QListWidget* ListBox1 = nullptr;
    TRunStatusStrip* RunStatus1 = nullptr;
    QPushButton* Button1 = nullptr;
    QTimer* Timer0 = nullptr;  // the run timer: once a second, not started
    QMenu* S0 = nullptr;
    QAction* S1 = nullptr;
    QAction* S2 = nullptr;
    QMenu* B0 = nullptr;
    QAction* B1 = nullptr;
    QAction* B2 = nullptr;
    QMenu* H0 = nullptr;
    QAction* H1 = nullptr;
    QAction* N3 = nullptr;
    QAction* H2 = nullptr;
    QAction* N4 = nullptr;
    QAction* H3 = nullptr;
};

// The check marks of B1 and B2, and the language of the texts the window adds: the one marked,
// Japanese with none.
LanguageMarks MarksOf(const WindowControls& controls);
Language TextLanguageOf(const WindowControls& controls);

// The window's Japanese font: the classic Windows one where it exists, else its
// metric-compatible free counterpart, else a CJK font that has the glyphs.
QFont GothicFont(int pixelSize);

// Makes the controls of `window` (its central widget, its menu bar and the timer), the grid
// showing `jobs`, Japanese checked, no caption written yet.
void BuildWindowLayout(QMainWindow& window, WindowControls& controls, QAbstractItemModel& jobs);

// Writes the captions of the language into the window and its controls; the three headings
// size themselves to their text.
void ApplyCaptions(QMainWindow& window, const WindowControls& controls,
                   const WindowCaptions& captions);

}  // namespace palomix
