// Pixel geometry of the configuration windows. The constructor describes the groups row by
// row (LayoutPlan); here each column is measured and its rows placed 24 px apart. The
// advance column comes last, on the right, so that hiding it lets the window shrink.
#include "config/config_form_impl.h"

#include <algorithm>

namespace rw::config {

namespace {

constexpr int kMargin = 12;
constexpr int kPitch = 24;  // row to row
constexpr int kFieldH = 21; // text boxes, lists, check boxes
constexpr int kLabelH = 17;
constexpr int kLabelDrop = 3;  // a caption sits level with the text of its field
constexpr int kCharW = 8;      // a generous average character width
constexpr int kBoxGap = 4;     // between the boxes of one row
constexpr int kColumnGap = 24; // between columns
constexpr int kHalfGap = 16;   // between a row and the one beside it
constexpr int kGapRow = 12;    // between groups
constexpr int kValueW = 64;    // labels that show a value
constexpr int kFramePad = 6;   // frame edge around its contents
constexpr int kButtonW = 88;
constexpr int kButtonH = 25;

int textWidth(const std::string& s) {
    return kCharW * static_cast<int>(s.size());
}

int widthOf(const ui::Control* c) {
    switch (c->kind()) {
    case ui::ControlKind::TextBox: {
        const int n = std::max(static_cast<const ui::TextBox*>(c)->maxLength(), 2);
        return n * kCharW + 12;
    }
    case ui::ControlKind::ComboBox: {
        std::size_t longest = 3;
        for (const std::string& item : static_cast<const ui::ComboBox*>(c)->items())
            longest = std::max(longest, item.size());
        longest = std::max<std::size_t>(longest, 4);
        return static_cast<int>(longest) * kCharW + 28;
    }
    case ui::ControlKind::CheckBox:
        return 20 + textWidth(static_cast<const ui::CheckBox*>(c)->caption());
    case ui::ControlKind::Label: {
        const std::string& t = static_cast<const ui::Label*>(c)->caption();
        return t.empty() ? kValueW : std::max(kValueW, textWidth(t) + 4);
    }
    case ui::ControlKind::UpDown:
        return 16;
    case ui::ControlKind::Button:
        return std::max(kButtonW, textWidth(static_cast<const ui::Button*>(c)->caption()) + 24);
    default:
        return kValueW;
    }
}

int heightOf(const ui::Control* c) {
    return c->kind() == ui::ControlKind::Label ? kLabelH : kFieldH;
}

int fieldsWidth(const std::vector<ui::Control*>& fields, std::size_t from, std::size_t to) {
    int w = 0;
    for (std::size_t i = from; i < to; ++i)
        w += widthOf(fields[i]) + (i > from ? kBoxGap : 0);
    return w;
}

int captionWidth(const ui::Control* c) {
    return c ? textWidth(static_cast<const ui::Label*>(c)->caption()) + 8 : 0;
}

// A row beside another one, or with one beside it, takes only the room its caption needs.
bool compact(const std::vector<LayoutRow>& rows, std::size_t i) {
    return rows[i].half || (i + 1 < rows.size() && rows[i + 1].half);
}

// Grid rows: the downstream half of `fields`, then the upstream half.
std::size_t gridSplit(const LayoutRow& r) {
    return r.fields.size() / 2;
}

struct Measure {
    int labelW = 0;     // caption column of ordinary rows
    int pairLabelW = 0; // caption column of rows with a row beside them
    int halfLabelW = 0; // caption column of the rows beside them
    int halfX = 0;      // where a row beside another starts
    int gridW = 0;      // width of one grid half
    int width = 0;
};

// Where the boxes of a row start, from the row's left edge.
int fieldOffset(const std::vector<LayoutRow>& rows, std::size_t i, const Measure& m) {
    if (rows[i].half) return m.halfLabelW;
    return compact(rows, i) ? m.pairLabelW : m.labelW;
}

int rowWidth(const LayoutRow& r, int fieldX, const Measure& m) {
    switch (r.kind) {
    case LayoutRow::Heading:
    case LayoutRow::SubHeading:
    case LayoutRow::Check:
        return widthOf(r.caption);
    case LayoutRow::Row:
        return fieldX + fieldsWidth(r.fields, 0, r.fields.size());
    case LayoutRow::Grid:
        return m.labelW + 2 * m.gridW + kHalfGap;
    case LayoutRow::Gap:
        break;
    }
    return 0;
}

Measure measure(const std::vector<LayoutRow>& rows) {
    Measure m;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const LayoutRow& r = rows[i];
        if (r.kind == LayoutRow::Row && r.half)
            m.halfLabelW = std::max(m.halfLabelW, captionWidth(r.caption));
        else if (r.kind == LayoutRow::Row && compact(rows, i))
            m.pairLabelW = std::max(m.pairLabelW, captionWidth(r.caption));
        else if (r.kind == LayoutRow::Row || r.kind == LayoutRow::Grid)
            m.labelW = std::max(m.labelW, captionWidth(r.caption));
        if (r.kind == LayoutRow::Grid) {
            const std::size_t s = gridSplit(r);
            m.gridW = std::max(
                {m.gridW, fieldsWidth(r.fields, 0, s), fieldsWidth(r.fields, s, r.fields.size())});
        }
    }
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (i + 1 < rows.size() && rows[i + 1].half)
            m.halfX = std::max(m.halfX, rowWidth(rows[i], fieldOffset(rows, i, m), m) + kHalfGap);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int w = rowWidth(rows[i], fieldOffset(rows, i, m), m);
        m.width = std::max(m.width, rows[i].half ? m.halfX + w : w);
    }
    return m;
}

void place(ui::Control* c, int x, int y) {
    const int dy = c->kind() == ui::ControlKind::Label ? kLabelDrop : 0;
    c->setGeometry(x, y + dy, widthOf(c), heightOf(c));
}

void placeFields(const std::vector<ui::Control*>& fields, std::size_t from, std::size_t to, int x,
                 int y) {
    for (std::size_t i = from; i < to; ++i) {
        place(fields[i], x, y);
        x += widthOf(fields[i]) + kBoxGap;
    }
}

// Places a column's rows from (x, top); returns its bottom.
int placeColumn(const std::vector<LayoutRow>& rows, const Measure& m, int x, int top) {
    int y = top;
    int rowY = top;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const LayoutRow& r = rows[i];
        if (r.kind == LayoutRow::Gap) {
            y += kGapRow;
            continue;
        }
        if (!r.half) rowY = y;
        const int rx = r.half ? x + m.halfX : x;
        switch (r.kind) {
        case LayoutRow::Heading:
        case LayoutRow::SubHeading:
        case LayoutRow::Check:
            place(r.caption, rx, rowY);
            break;
        case LayoutRow::Row: {
            const int fx = rx + fieldOffset(rows, i, m);
            if (r.caption) r.caption->setGeometry(rx, rowY + kLabelDrop, fx - rx - 4, kLabelH);
            placeFields(r.fields, 0, r.fields.size(), fx, rowY);
            break;
        }
        case LayoutRow::Grid: {
            if (r.caption) r.caption->setGeometry(rx, rowY + kLabelDrop, m.labelW - 4, kLabelH);
            const std::size_t s = gridSplit(r);
            placeFields(r.fields, 0, s, rx + m.labelW, rowY);
            placeFields(r.fields, s, r.fields.size(), rx + m.labelW + m.gridW + kHalfGap, rowY);
            break;
        }
        case LayoutRow::Gap:
            break;
        }
        y = rowY + kPitch;
    }
    return y;
}

} // namespace

LayoutSize layoutForm(const LayoutPlan& plan) {
    std::array<Measure, kColumnCount> m;
    for (std::size_t c = 0; c < kColumnCount; ++c)
        m[c] = measure(plan.columns[c]);

    const int mainX = kMargin;
    const int ifaceX = mainX + m[kMainColumn].width + kColumnGap;
    const int advanceX = ifaceX + m[kInterfaceColumn].width + kColumnGap + kFramePad;
    const int top = kMargin;

    const int mainBottom = placeColumn(plan.columns[kMainColumn], m[kMainColumn], mainX, top);
    const int ifaceBottom =
        placeColumn(plan.columns[kInterfaceColumn], m[kInterfaceColumn], ifaceX, top);
    const int advanceBottom =
        placeColumn(plan.columns[kAdvanceColumn], m[kAdvanceColumn], advanceX, top);

    LayoutSize size;
    size.compactWidth = ifaceX + m[kInterfaceColumn].width + kMargin;

    // Frames hold their controls with a small edge.
    for (ui::Frame* f : plan.frames) {
        int x0 = 1 << 20, y0 = 1 << 20, x1 = 0, y1 = 0;
        for (const auto& c : f->form().controls()) {
            if (c->container() != f) continue;
            const ui::Geometry& g = c->geometry();
            x0 = std::min(x0, g.x);
            y0 = std::min(y0, g.y);
            x1 = std::max(x1, g.x + g.w);
            y1 = std::max(y1, g.y + g.h);
        }
        if (x1 > 0)
            f->setGeometry(x0 - kFramePad, y0 - kFramePad, x1 - x0 + 2 * kFramePad,
                           y1 - y0 + 2 * kFramePad);
    }
    const int advanceRight = advanceX + m[kAdvanceColumn].width + kFramePad;
    size.expertWidth = std::max(size.compactWidth, advanceRight + kMargin);

    // Footer under the first two columns: notes on the left, buttons on the right.
    int y = std::max(mainBottom, ifaceBottom) + kGapRow;
    int noteY = y;
    for (ui::Control* n : plan.notes) {
        n->setGeometry(kMargin, noteY, widthOf(n), kLabelH);
        noteY += kLabelH + 3;
    }
    int bx = size.compactWidth - kMargin;
    // Right to left, so the last button ends at the margin.
    std::for_each(plan.buttons.rbegin(), plan.buttons.rend(), [&](ui::Control* b) {
        const int w = widthOf(b);
        bx -= w;
        b->setGeometry(bx, y, w, kButtonH);
        bx -= 8;
    });
    const int footerBottom = std::max(noteY, y + kButtonH);
    size.height = std::max(footerBottom, advanceBottom + kFramePad) + kMargin;
    return size;
}

} // namespace rw::config
