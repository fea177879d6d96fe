// A window's arrangement as its model describes it: columns of rows, each row a caption and
// the fields beside it, grouped under headings. Toolkit-free: the model fills it once, the Qt
// layer builds its layouts from it, and pixel geometry can be derived from it as well.
#pragma once

#include "ui/controls.h"

#include <array>
#include <vector>

namespace rw::ui {

struct LayoutRow {
    // Heading: starts a group; SubHeading: a group within it; Row: caption and fields;
    // Grid: caption, downstream half, upstream half; Check: a check box with its own
    // caption; Gap: ends the sub-group.
    enum Kind { Heading, SubHeading, Row, Grid, Check, Gap } kind = Row;
    Control* caption = nullptr;     // the row's caption, the heading, or the check box itself
    std::vector<Control*> fields{}; // left to right; Grid: downstream half, then upstream half
    bool half = false;              // in the right half of the column, beside the row before
};

enum LayoutColumn { kMainColumn, kInterfaceColumn, kAdvanceColumn, kColumnCount };

struct LayoutPlan {
    std::array<std::vector<LayoutRow>, kColumnCount> columns;
    std::vector<Frame*> frames;    // drawn around the controls they contain
    std::vector<Control*> notes;   // bottom left, one per line (the watchdog labels)
    std::vector<Control*> buttons; // bottom right
};

} // namespace rw::ui
