#include "support/platform_checks.h"

namespace rw::test {

::testing::AssertionResult lastBoxIs(const ui::ScriptedPlatform& platform, const std::string& text,
                                     const std::string& title, ui::Buttons buttons,
                                     std::optional<ui::Icon> icon) {
    const ui::RecordedBox* b = platform.boxes.last();
    if (!b) return ::testing::AssertionFailure() << "no message box, wanted: " << text;
    if (b->text != text || b->title != title || b->buttons != buttons || (icon && b->icon != *icon))
        return ::testing::AssertionFailure()
               << "message box '" << b->text << "' / '" << b->title << "' (buttons "
               << static_cast<int>(b->buttons) << ", icon " << static_cast<int>(b->icon)
               << "), wanted '" << text << "' / '" << title << "'";
    return ::testing::AssertionSuccess();
}

} // namespace rw::test
