#include "widgets/GradBoxPalette.h"

#include <array>

namespace palomix {
namespace {

struct RoleOf {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

constexpr QPalette::ColorGroup kActive = QPalette::Active;

constexpr std::array<RoleOf, kSystemColorCount> kRoles = {{
    {kActive, QPalette::Button},                 // scroll bar
    {kActive, QPalette::Dark},                   // desktop
    {kActive, QPalette::Highlight},              // active caption
    {QPalette::Inactive, QPalette::Mid},         // inactive caption
    {kActive, QPalette::Window},                 // menu
    {kActive, QPalette::Base},                   // window
    {kActive, QPalette::Shadow},                 // window frame
    {kActive, QPalette::WindowText},             // menu text
    {kActive, QPalette::Text},                   // window text
    {kActive, QPalette::HighlightedText},        // caption text
    {kActive, QPalette::Button},                 // active border
    {kActive, QPalette::Button},                 // inactive border
    {kActive, QPalette::Dark},                   // application workspace
    {kActive, QPalette::Highlight},              // highlight
    {kActive, QPalette::HighlightedText},        // highlighted text
    {kActive, QPalette::Button},                 // button face
    {kActive, QPalette::Dark},                   // button shadow
    {QPalette::Disabled, QPalette::Text},        // grey text
    {kActive, QPalette::ButtonText},             // button text
    {QPalette::Disabled, QPalette::WindowText},  // inactive caption text
    {kActive, QPalette::Light},                  // button highlight
    {kActive, QPalette::Shadow},                 // 3D dark shadow
    {kActive, QPalette::Midlight},               // 3D light
    {kActive, QPalette::ToolTipText},            // tooltip text
    {kActive, QPalette::ToolTipBase},            // tooltip background
}};

}  // namespace

TColor QtSystemColors::RgbOf(int index) const {
    if (index < 0 || index >= kSystemColorCount) {
        return 0;
    }
    const RoleOf& entry = kRoles[static_cast<std::size_t>(index)];
    return FromQColor(palette_.color(entry.group, entry.role));
}

QColor ToQColor(TColor color, const QPalette& palette) {
    const RgbBytes rgb = GetRGB(color, QtSystemColors(palette));
    return QColor(rgb.red, rgb.green, rgb.blue);
}

TColor FromQColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return RGBColor(static_cast<std::uint8_t>(rgb.red()), static_cast<std::uint8_t>(rgb.green()),
                    static_cast<std::uint8_t>(rgb.blue()));
}

}  // namespace palomix
