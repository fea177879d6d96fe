// Checks on what the scripted platform recorded.
#pragma once

#include "ui/scripted_platform.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace rw::test {

// The last message box shown has this text, title and buttons, and this icon unless the icon
// is not given.
::testing::AssertionResult lastBoxIs(const ui::ScriptedPlatform& platform, const std::string& text,
                                     const std::string& title,
                                     ui::Buttons buttons = ui::Buttons::OK,
                                     std::optional<ui::Icon> icon = ui::Icon::Exclamation);

} // namespace rw::test
