// Helpers shared by the files of FormView.
#pragma once

#include "ui/controls.h"

#include <QRect>
#include <QString>
#include <QToolButton>
#include <QWidget>

#include <string>

namespace rw::ui::detail {

inline QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

// The caption without its accelerator marks ("&Open File" -> "Open File", "&&" -> "&").
inline QString withoutAccelerator(const QString& s) {
    QString out;
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] == '&' && i + 1 < s.size()) ++i;
        out += s[i];
    }
    return out;
}

inline const char* kindName(ControlKind k) {
    switch (k) {
    case ControlKind::TextBox:
        return "text box";
    case ControlKind::ComboBox:
        return "drop-down";
    case ControlKind::CheckBox:
        return "check box";
    case ControlKind::Label:
        return "label";
    case ControlKind::Button:
        return "button";
    case ControlKind::UpDown:
        return "up-down";
    case ControlKind::Frame:
        return "frame";
    case ControlKind::Picture:
        return "picture";
    case ControlKind::ProgressBar:
        return "progress bar";
    }
    return "control";
}

inline std::string rectText(const QRect& r) {
    return "(" + std::to_string(r.x()) + ", " + std::to_string(r.y()) + ", " +
           std::to_string(r.width()) + ", " + std::to_string(r.height()) + ")";
}

// The two arrows of an up-down pair; the pair's own widget holds them.
struct UpDownParts {
    QToolButton* up = nullptr;
    QToolButton* down = nullptr;
};

inline UpDownParts upDownParts(QWidget* w) {
    auto buttons = w->findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly);
    if (buttons.size() != 2) return {};
    return {buttons[0], buttons[1]};
}

} // namespace rw::ui::detail
