#include "widgets/MCCBox.h"

#include <QAbstractItemDelegate>
#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QProxyStyle>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <algorithm>
#include <stdexcept>
#include <string>

#include "controllogic/CommaText.h"
#include "widgets/GradBoxPalette.h"

namespace palomix {
namespace {

// The model role that holds an item's full line.
constexpr int kLineRole = Qt::UserRole;

[[noreturn]] void ThrowIndexError(int index) {
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
}

// Draws the rows of the open list through the control's DrawItem.
class MultiColumnDelegate final : public QAbstractItemDelegate {
public:
    explicit MultiColumnDelegate(TMultiColComboBox& box) : QAbstractItemDelegate(&box), box_(box) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        box_.DrawItem(*painter, index.row(), option.rect,
                      option.state.testFlag(QStyle::State_Selected));
    }

    QSize sizeHint(const QStyleOptionViewItem& /*option*/,
                   const QModelIndex& /*index*/) const override {
        return QSize(box_.DroppedWidth(), box_.ItemHeight());
    }

private:
    TMultiColComboBox& box_;
};

// The open list drops below the control and shows DropDownCount rows, in every style:
// styles that open a combo box as a menu over the control (the current item on top of
// it) ignore the row count.
class DropDownListStyle final : public QProxyStyle {
public:
    explicit DropDownListStyle(const QString& baseStyle) : QProxyStyle(baseStyle) {}

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_ComboBox_Popup) {
            return 0;
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

TMultiColComboBox::TMultiColComboBox(QWidget* parent) : QComboBox(parent), columns_(*this) {
    auto* listStyle = new DropDownListStyle(QApplication::style()->name());
    listStyle->setParent(this);
    setStyle(listStyle);
    setEditable(true);
    ConnectEditField();
    setInsertPolicy(QComboBox::NoInsert);
    setItemDelegate(new MultiColumnDelegate(*this));
    // Columns beyond the list's right edge are cut off there, never scrolled into view.
    view()->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    columns_.Add();
    ApplyColors();

    connect(model(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex& /*parent*/, int first, int last) {
                AdoptForeignRows(first, last);
            });
    connect(this, &QComboBox::activated, this, [this](int /*index*/) {
        if (OnChange) {
            OnChange(*this);
        }
    });
}

TMultiColComboBox::~TMultiColComboBox() = default;

void TMultiColComboBox::SetCanEdit(bool value) {
    if (value == isEditable()) {
        return;
    }
    setEditable(value);
    ConnectEditField();
    ApplyColors();
}

void TMultiColComboBox::ConnectEditField() {
    if (QLineEdit* edit = lineEdit()) {
        connect(edit, &QLineEdit::textEdited, this, [this](const QString& /*text*/) {
            if (OnChange) {
                OnChange(*this);
            }
        });
    }
}

void TMultiColComboBox::SetTargetColumn(std::uint8_t value) {
    if (targetColumn_ == value) {
        return;
    }
    targetColumn_ = value;
    for (int row = 0; row < count(); ++row) {
        setItemText(row, ListTextOf(LineAt(row)));
    }
    update();
}

void TMultiColComboBox::SetIndent(int value) {
    if (indent_ != value) {
        indent_ = value;
        ColumnsChanged();
    }
}

void TMultiColComboBox::SetItemHeight(int value) {
    if (itemHeight_ != value) {
        itemHeight_ = value;
        view()->doItemsLayout();
        ColumnsChanged();
    }
}

void TMultiColComboBox::SetColor(TColor value) {
    if (color_ != value) {
        color_ = value;
        ApplyColors();
        columns_.OwnerColorChanged();
    }
}

void TMultiColComboBox::SetFontColor(TColor value) {
    if (fontColor_ != value) {
        fontColor_ = value;
        ApplyColors();
        columns_.OwnerFontChanged();
    }
}

// --- Items -----------------------------------------------------------------------------

std::string TMultiColComboBox::Item(int index) const {
    if (index < 0 || index >= count()) {
        ThrowIndexError(index);
    }
    return LineAt(index);
}

std::vector<std::string> TMultiColComboBox::Items() const {
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(count()));
    for (int row = 0; row < count(); ++row) {
        lines.push_back(LineAt(row));
    }
    return lines;
}

void TMultiColComboBox::AddItem(const std::string& line) {
    InsertLine(count(), line);
}

void TMultiColComboBox::InsertItem(int index, const std::string& line) {
    if (index < 0 || index > count()) {
        ThrowIndexError(index);
    }
    InsertLine(index, line);
}

void TMultiColComboBox::DeleteItem(int index) {
    if (index < 0 || index >= count()) {
        ThrowIndexError(index);
    }
    removeItem(index);
}

void TMultiColComboBox::ClearItems() {
    clear();
}

void TMultiColComboBox::InsertLine(int index, const std::string& line) {
    const QString display = ListTextOf(line);
    const QVariant fullLine = QString::fromStdString(line);
    if (count() > 0) {
        insertItem(index, display, fullLine);
        return;
    }
    // QComboBox selects the first item put into an empty list; adding must not select.
    const int selected = currentIndex();
    const QSignalBlocker quiet(this);
    insertItem(index, display, fullLine);
    if (selected == -1 && currentIndex() != -1) {
        setCurrentIndex(-1);
    }
}

void TMultiColComboBox::AdoptForeignRows(int first, int last) {
    // Rows that arrive without a full line were added through QComboBox itself: their
    // text is the line, and the list shows its target field.
    for (int row = first; row <= last; ++row) {
        if (!itemData(row, kLineRole).isValid()) {
            const QString text = itemText(row);
            setItemData(row, text, kLineRole);
            setItemText(row, ListTextOf(text.toStdString()));
        }
    }
}

std::string TMultiColComboBox::LineAt(int index) const {
    return itemData(index, kLineRole).toString().toStdString();
}

QString TMultiColComboBox::ListTextOf(const std::string& line) const {
    return QString::fromStdString(CommaTextField(line, targetColumn_));
}

void TMultiColComboBox::SetItemIndex(int index) {
    setCurrentIndex(index >= 0 && index < count() ? index : -1);
}

std::string TMultiColComboBox::Text() const {
    return currentText().toStdString();
}

std::string TMultiColComboBox::GetSelectedText() const {
    const QLineEdit* edit = lineEdit();
    if (isEditable() && edit != nullptr && edit->isModified()) {
        return Text();
    }
    return GetColumnText();
}

std::string TMultiColComboBox::GetColumnText() const {
    const int selected = currentIndex();
    if (selected < 0 || selected >= count()) {
        return {};
    }
    return CommaTextField(LineAt(selected), targetColumn_);
}

// --- Drawing ---------------------------------------------------------------------------

void TMultiColComboBox::DrawItem(QPainter& painter, int index, const QRect& rect,
                                 bool selected) const {
    const std::vector<std::string> fields = SplitCommaText(LineAt(index));
    int x = rect.left();
    const int right = rect.right() + 1;  // exclusive
    for (int i = 0; i < columns_.Count(); ++i) {
        const TCBColumn& column = columns_[i];
        const int cellRight = std::min(x + column.Width(), right);
        const QRect cell(x, rect.top(), std::max(cellRight - x, 0), rect.height());
        const auto field = static_cast<std::size_t>(i);
        const QString text =
            field < fields.size() ? QString::fromStdString(fields[field]) : QString();
        column.DrawColumn(painter, cell, text, selected);
        x += column.Width();
    }
    if (x < right) {
        const QColor rest = selected ? palette().color(QPalette::Highlight) : Resolve(color_);
        painter.fillRect(QRect(x, rect.top(), right - x, rect.height()), rest);
    }
}

void TMultiColComboBox::paintEvent(QPaintEvent* event) {
    if (isEditable()) {
        QComboBox::paintEvent(event);
        return;
    }
    // The closed drop-down list shows the target field of the selected line.
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText = QString::fromStdString(GetSelectedText());
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void TMultiColComboBox::showPopup() {
    if (OnDropDown) {
        OnDropDown(*this);
    }
    QComboBox::showPopup();
    QWidget* popup = view()->window();
    if (popup == this->window()) {
        return;  // no separate popup window (should not happen)
    }
    QRect geometry = popup->geometry();
    geometry.setWidth(std::max(DroppedWidth(), width()));
    if (const QScreen* screen = popup->screen()) {
        const QRect available = screen->availableGeometry();
        if (geometry.right() > available.right()) {
            geometry.moveRight(available.right());
        }
        if (geometry.left() < available.left()) {
            geometry.moveLeft(available.left());
        }
    }
    popup->setGeometry(geometry);
}

void TMultiColComboBox::changeEvent(QEvent* event) {
    QComboBox::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        columns_.OwnerFontChanged();
    }
}

void TMultiColComboBox::ApplyColors() {
    QPalette colors = palette();
    const QColor background = Resolve(color_);
    const QColor text = Resolve(fontColor_);
    for (const QPalette::ColorRole role : {QPalette::Base, QPalette::Button}) {
        colors.setColor(role, background);
    }
    for (const QPalette::ColorRole role : {QPalette::Text, QPalette::ButtonText}) {
        colors.setColor(role, text);
    }
    setPalette(colors);
    view()->setPalette(colors);
}

void TMultiColComboBox::ColumnsChanged() {
    if (QAbstractItemView* list = view()) {
        list->viewport()->update();
    }
}

QColor TMultiColComboBox::Resolve(TColor color) const {
    return ToQColor(color, QApplication::palette());
}

}  // namespace palomix
