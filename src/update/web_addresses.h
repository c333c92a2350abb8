#pragma once

#include <string>
#include <string_view>

namespace torvane {

class OptionStore;

// The pages of the support server the window shows or opens, built from the stored values
// ("pid", "ver", "ec", "it" with their defaults) and the panel's size in pixels.
std::string noticePanelAddress(const OptionStore& options, int width, int height);
std::string sidePanelAddress(const OptionStore& options, int width, int height);
// The about page, coloured like the dialog: colour is faceColourText's.
std::string aboutPageAddress(const OptionStore& options, std::string_view colour);
// "/go.php?menu=NAME": "torvane_help" and "torvane_request".
std::string goPageAddress(const OptionStore& options, std::string_view menu);

// "rrggbb" in lower-case hexadecimal, red first.
std::string faceColourText(int red, int green, int blue);

}  // namespace torvane
