#include "update/web_addresses.h"

#include <cstdio>

#include "settings/option_store.h"
#include "update/program_version.h"
#include "update/update_check.h"

namespace torvane {
namespace {

// "pid=…&ver=…&w=…&h=…", common to both window panels. "ver" is the installed version, the
// same number the update check sends.
std::string panelQuery(const OptionStore& options, int width, int height) {
    return "pid=" + options.getOption("pid", "home") + "&ver=" + std::to_string(installedVersion(options)) +
           "&w=" + std::to_string(width) + "&h=" + std::to_string(height);
}

}  // namespace

std::string noticePanelAddress(const OptionStore& options, int width, int height) {
    return updateAddress(options, "/torvane/support.php?" + panelQuery(options, width, height) +
                                      "&ec=" + options.getOption("ec", "0") + "&it=" + options.getOption("it", "0"));
}

std::string sidePanelAddress(const OptionStore& options, int width, int height) {
    return updateAddress(options, "/torvane/support_r.php?" + panelQuery(options, width, height));
}

std::string aboutPageAddress(const OptionStore& options, std::string_view colour) {
    return updateAddress(options, "/torvane/aboutweb.php?color=" + std::string(colour));
}

std::string goPageAddress(const OptionStore& options, std::string_view menu) {
    return updateAddress(options, "/go.php?menu=" + std::string(menu));
}

std::string faceColourText(int red, int green, int blue) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x%02x%02x", red & 0xFF, green & 0xFF, blue & 0xFF);
    return text;
}

}  // namespace torvane
