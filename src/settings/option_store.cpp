#include "settings/option_store.h"

#include <array>

#include "platform/file_system.h"
#include "settings/text_rules.h"

namespace torvane {
namespace {

constexpr std::string_view kLastPreset = "lastpreset";
constexpr std::string_view kLastOpenFolder = "lastopenfolder";

constexpr std::array<OptionDefinition, 29> kOptions = {{
    {"closetotray", "n", "closing the main window hides it to the tray"},
    {"finishalert", "y", "show the completion message when a run finishes"},
    {"viewsettingonpreset", "y", "choosing a preset opens the settings dialog"},
    {"settingbeforestart", "n", "starting a conversion first opens the settings dialog"},
    {"confirmbeforestop", "n", "stopping a conversion asks for confirmation"},
    {"swfmp3extractfirst", "n", "for SWF sources, extract the MP3 sound first"},
    {"swfmethodframe", "y", "convert SWF sources frame by frame"},
    {"logouse", "n", "overlay a logo image on converted video"},
    {"logopath", "", "full path of the PNG logo image"},
    {"logocorner", "4", "logo corner: 1 top left, 2 top right, 3 bottom left, 4 bottom right"},
    {"logox", "5", "horizontal distance of the logo from its corner, in pixels"},
    {"logoy", "5", "vertical distance of the logo from its corner, in pixels"},
    {"stalltimeout", "120", "seconds without progress after which an encoder is stopped (0: never)"},
    {"parallel", "1", "files converted at once, 1 to the number of processors"},
    {"allowsamefile", "n", "kept for old stores; nothing acts on it"},
    {kLastPreset, "", "profile whose settings were last applied"},
    {"lastoutdir", "", "last output folder chosen"},
    {kLastOpenFolder, "", "folder last used in the add-files dialog"},
    {"lastdetail", "2", "view mode last used in the media detail dialog"},
    {"windowplace", "", "main window's last place and size: x,y,width,height,maximized"},
    {"updatecheckdontview", "0", "time at which the update reminder was put off for three days"},
    {"ver", "0", "installed version number"},
    {"preset_ver", "0", "preset version number"},
    {"pid", "home", "support page id"},
    {"ad", "n", "the update server switched the notice panel on"},
    {"ad2", "n", "the update server switched the side panel on"},
    {"ec", "0", "notice panel parameter"},
    {"it", "0", "notice panel parameter"},
    {"updateserver", "https://torvane.kr", "address of the update and support server"},
}};

}  // namespace

std::span<const OptionDefinition> knownOptions() {
    return kOptions;
}

const OptionDefinition* findOption(std::string_view name) {
    for (const OptionDefinition& option : knownOptions()) {
        if (option.name == name) return &option;
    }
    return nullptr;
}

std::string defaultOptionValue(const OptionDefinition& option, const std::string& programFolder) {
    if (option.name == kLastPreset) return joinPath(programFolder, "common_avi.ini");
    return std::string(option.defaultValue);
}

OptionStore::OptionStore(std::string folder) : file_(std::move(folder)) {}

std::string OptionStore::getOption(std::string_view name, std::string_view defaultValue) const {
    const auto stored = file_.read(name);
    if (!stored || stored->empty() || stored->size() > kMaxOptionValueBytes) return std::string(defaultValue);
    return *stored;
}

long long OptionStore::getOptionInt(std::string_view name, std::string_view defaultValue) const {
    return leadingInteger(getOption(name, defaultValue));
}

bool OptionStore::setOption(std::string_view name, std::string_view value) const {
    return file_.write(name, value);
}

std::string OptionStore::lastOpenFolder() const {
    return getOption(kLastOpenFolder, "");
}

bool OptionStore::setLastOpenFolder(std::string_view folder) const {
    return setOption(kLastOpenFolder, folder);
}

}  // namespace torvane
