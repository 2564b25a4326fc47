// TFolderBrowseEdit: a one-line field that shows a folder path, with an 18-pixel button
// inside its right end that opens a folder dialog. The path changes through the dialog or
// through the program; with ReadOnly on the user cannot type, but the button still works.
// The button takes no focus: the field itself opens the dialog from the keyboard, with
// Alt+Down, and with Enter or Space while it is read-only.
#pragma once

#include <QLineEdit>
#include <functional>
#include <memory>
#include <string>

#include "widgets/FolderBrowseDialog.h"

class QToolButton;

namespace palomix {

class TFolderBrowseEdit : public QLineEdit {
    Q_OBJECT

public:
    // Makes the dialog for one click, owned by the given window. The default makes a
    // TFolderBrowseDialog; tests hand in their own.
    using DialogFactory = std::function<std::unique_ptr<TFolderBrowseDialog>(QWidget* owner)>;

    static constexpr int kButtonWidth = 18;

    explicit TFolderBrowseEdit(QWidget* parent = nullptr);

    // The folder shown: the field's text. Writing it raises no event of the program.
    std::string Path() const { return text().toStdString(); }
    void SetPath(const std::string& path);

    bool ReadOnly() const { return isReadOnly(); }
    void SetReadOnly(bool value) { setReadOnly(value); }

    // The dialog opens with Path selected, when Path is not empty.
    bool StartWithLast() const { return startWithLast_; }
    void SetStartWithLast(bool value) { startWithLast_ = value; }

    TBrowseRootFolder StartFolder() const { return startFolder_; }
    void SetStartFolder(TBrowseRootFolder value) { startFolder_ = value; }

    // Handed to the dialog unchanged.
    TBrowseOptions Options() const { return options_; }
    void SetOptions(TBrowseOptions value) { options_ = value; }

    // Called with the field and the dialog after the dialog is set up, before it shows.
    std::function<void(TFolderBrowseEdit&, TFolderBrowseDialog&)> OnExecute;

    void SetDialogFactory(DialogFactory factory);

    // The browse sequence of a click on the button: a new dialog with StartFolder,
    // Options and (with StartWithLast) the current Path; OnExecute; the dialog shown;
    // Path replaced only when the user confirmed. The dialog is destroyed in every case;
    // an exception from OnExecute or the dialog passes on to the caller.
    void DoOnBrowseClick();

    QToolButton& BrowseButton() const { return *button_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void PlaceButton();
    void ButtonClicked();

    QToolButton* button_;
    bool startWithLast_ = false;
    TBrowseRootFolder startFolder_ = bfoDesktopExpanded;
    TBrowseOptions options_ = kDefaultBrowseOptions;
    DialogFactory factory_;
};

}  // namespace palomix
