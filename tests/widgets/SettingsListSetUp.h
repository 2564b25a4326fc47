// The settings-file list as the window sets it up: three columns (356, 500 and 200 pixels;
// white, light grey and black, with dark grey, dark grey and white text), not editable,
// indent 1, 14-pixel rows, 28 rows in the open list.
#pragma once

#include "widgets/MCCBox.h"

namespace palomix::testing {

inline void SetUpSettingsFileColumns(TMultiColComboBox& box) {
    box.SetCanEdit(false);
    box.SetIndent(1);
    box.SetItemHeight(14);
    box.SetDropDownCount(28);
    box.SetColor(RGBColor(255, 255, 255));
    box.Columns().Clear();
    const struct {
        int width;
        TColor back;
        TColor text;
    } columns[] = {{356, RGBColor(255, 255, 255), RGBColor(70, 70, 70)},
                   {500, RGBColor(240, 240, 240), RGBColor(70, 70, 70)},
                   {200, RGBColor(0, 0, 0), RGBColor(255, 255, 255)}};
    for (const auto& wanted : columns) {
        TCBColumn& column = box.Columns().Add();
        column.SetWidth(wanted.width);
        column.SetColor(wanted.back);
        column.SetFontColor(wanted.text);
    }
}

}  // namespace palomix::testing
