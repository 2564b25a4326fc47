// TFolderBrowseDialog: the folder chooser that the folder browse field opens, one dialog
// per use. It shows Qt's folder chooser in directory-only mode inside a small window of
// its own that adds the instruction text above it and, on request, a status line below
// it, placed centred over the program's active window and kept on the screen.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

class QDialog;
class QFileDialog;
class QLabel;
class QWidget;

namespace palomix {

// Dialog options, in the order of the set. Those that name things Qt's folder chooser
// does not have (computers, printers, domains) are accepted and have no effect.
enum TBrowseOption : std::uint8_t {
    doBrowseForComputer,
    doBrowseForPrinter,
    doDontGoBelowDomain,
    doReturnFileSysAncestors,
    doReturnFileSysDirs,  // only file-system folders can be confirmed (always so with Qt)
    doStatusText,         // the dialog has a status line
    doShowFiles,          // files are listed beside the folders (they cannot be chosen)
    doAllowEdit,          // the user can type a folder name
    doShowPath,           // the status line shows the selected path, shortened to 40 chars
    doEnableOK,           // kept for completeness: Qt enables its button by itself
};

class TBrowseOptions {
public:
    constexpr TBrowseOptions() = default;
    constexpr TBrowseOptions(std::initializer_list<TBrowseOption> options) {
        for (const TBrowseOption option : options) {
            Include(option);
        }
    }
    constexpr bool Contains(TBrowseOption option) const { return (bits_ & Bit(option)) != 0; }
    constexpr void Include(TBrowseOption option) { bits_ |= Bit(option); }
    constexpr void Exclude(TBrowseOption option) {
        bits_ &= static_cast<std::uint16_t>(~Bit(option));
    }
    friend constexpr bool operator==(TBrowseOptions, TBrowseOptions) = default;

private:
    static constexpr std::uint16_t Bit(TBrowseOption option) {
        return static_cast<std::uint16_t>(1u << option);
    }
    std::uint16_t bits_ = 0;
};

constexpr TBrowseOptions kDefaultBrowseOptions{doReturnFileSysDirs, doShowPath};

// Root of the dialog's tree.
enum TBrowseRootFolder : std::uint8_t {
    bfoDesktopExpanded,  // no restriction: every folder of the file system
    bfoHome,             // the user's home folder
    bfoDesktopFolder,    // the user's desktop folder
    bfoDocuments,        // the user's documents folder
};

// Where the dialog is placed relative to RelatePos.
enum TBrowsePosition : std::uint8_t {
    bpDefault,  // where the window system puts it
    bpCenter,   // centred, kept on the screen
};

// What the dialog is placed on.
enum TBrowseRelatePos : std::uint8_t {
    brActiveWindow,  // the program's active window, or the whole screen when there is none
    brScreen,        // the whole screen
};

class TFolderBrowseDialog {
public:
    // `owner`: the window the dialog belongs to; none means the program's active window.
    explicit TFolderBrowseDialog(QWidget* owner = nullptr) : owner_(owner) {}
    virtual ~TFolderBrowseDialog() = default;
    TFolderBrowseDialog(const TFolderBrowseDialog&) = delete;
    TFolderBrowseDialog& operator=(const TFolderBrowseDialog&) = delete;

    QWidget* Owner() const { return owner_; }

    TBrowseRootFolder StartFolder = bfoDesktopExpanded;
    TBrowseOptions Options = kDefaultBrowseOptions;
    // Selected as the dialog opens (when not empty); after a confirmed dialog, the folder
    // chosen, without trailing separator except at a root.
    std::string SelectedFolder;
    // Instruction text above the folder list.
    std::string Caption;
    // Window title; empty keeps Qt's own title.
    std::string CaptionTitle;
    // Text of the status line (shown only with doStatusText).
    std::string StatusText;
    TBrowsePosition Position = bpCenter;
    TBrowseRelatePos RelatePos = brActiveWindow;

    // The name of the folder chosen last (its last path element, or the root itself).
    const std::string& DisplayName() const { return displayName_; }

    // Shows the dialog modally. True when the user confirmed a folder (SelectedFolder and
    // DisplayName then hold it); false when the user cancelled (nothing changes).
    virtual bool Execute();

protected:
    void SetDisplayName(std::string name) { displayName_ = std::move(name); }

private:
    void DoInit(QDialog& window, QFileDialog& chooser, QLabel* status) const;
    void DoSelectionChange(const std::string& path, QLabel* status) const;
    void Place(QDialog& window) const;

    QWidget* owner_;
    std::string displayName_;
};

}  // namespace palomix
