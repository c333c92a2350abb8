#pragma once

#include <string>
#include <string_view>

namespace torvane {

class EncodeSettings;
struct SourceItem;

// The folders and counts the placeholders stand for, read once when the program starts.
struct PlaceholderValues {
    std::string programFolder;       // {curdir}, no trailing separator
    std::string tempFolder;          // {tempDir}, with its trailing separator
    std::string fontsFolder;         // {sysfontdir}
    std::string subtitleFontFolder;  // {subfontdir}: the program folder's mplayer folder
    unsigned cpuCount = 1;           // {cpucount}
};

// Reads the values for a program folder: $TMPDIR (else /tmp) as the temporary folder, the
// user's fonts folder ($XDG_DATA_HOME/fonts, else ~/.local/share/fonts, else /usr/share/fonts
// when the user has none), and the number of processors this process may use.
PlaceholderValues startupPlaceholderValues(const std::string& programFolder);

// Replaces the 18 placeholders in their fixed order, each over the result of the one before:
// text inserted by an earlier step is seen by the later ones, never by its own step. The two
// paths are the exception: they are inserted last, so a file name that happens to hold
// "{curdir}" or "{vbitrate}" stays the file's name. Templates write "{infile}" and "{outfile}"
// inside double quotes, so the paths go in with their double quotes and backslashes escaped.
// Unknown placeholders stay as they are.
std::string expandPlaceholders(std::string_view commandTemplate, const EncodeSettings& settings, const SourceItem& item,
                               std::string_view inputPath, std::string_view outputPath,
                               const PlaceholderValues& values);

// The extension of a path's file name, without the dot; empty when the name has none.
std::string fileExtension(std::string_view path);

}  // namespace torvane
