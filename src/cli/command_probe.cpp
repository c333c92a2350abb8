#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/json_text.h"
#include "media/mediainfo_library.h"
#include "run/add_source_file.h"
#include "run/run_observer.h"
#include "run/source_list.h"

namespace torvane::cli {
namespace {

enum class Report { None, Summary, Normal, Complete };

// One printed value: a text, or a number that JSON shows without quotes.
struct Field {
    std::string name;
    std::string value;
    bool isNumber = false;
};

std::string numberText(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.9g", value);
    return buffer;
}

std::vector<Field> mediaFields(const MediaSummary& m) {
    std::vector<Field> fields = {
        {"completeName", m.completeName},
        {"encodedApplication", m.encodedApplication},
        {"encodedLibrary", m.encodedLibrary},
        {"generalCodec", m.generalCodec},
        {"durationSeconds", std::to_string(m.durationSeconds), true},
        {"durationExact", numberText(m.durationExact), true},
        {"generalFormat", m.generalFormat},
        {"generalFormatProfile", m.generalFormatProfile},
        {"overallBitRate", m.overallBitRate},
        {"fileSizeText", m.fileSizeText},
        {"videoCodec", m.videoCodec},
        {"videoCodecInfo", m.videoCodecInfo},
        {"videoCodecUrl", m.videoCodecUrl},
        {"videoCodecId", m.videoCodecId},
        {"videoCodecIdInfo", m.videoCodecIdInfo},
        {"videoCodecIdHint", m.videoCodecIdHint},
        {"videoCodecIdUrl", m.videoCodecIdUrl},
        {"videoFormat", m.videoFormat},
        {"videoFormatProfile", m.videoFormatProfile},
        {"videoFrameCount", m.videoFrameCount},
        {"videoBitRate", m.videoBitRate},
        {"videoFrameRate", m.videoFrameRate},
        {"videoAspectRatio", m.videoAspectRatio},
        {"videoWidth", m.videoWidth},
        {"videoHeight", m.videoHeight},
        {"videoStreamCount", std::to_string(m.videoStreamCount), true},
        {"videoRotation", m.videoRotation},
        {"audioCodec", m.audioCodec},
        {"audioCodecInfo", m.audioCodecInfo},
        {"audioCodecUrl", m.audioCodecUrl},
        {"audioCodecId", m.audioCodecId},
        {"audioCodecIdInfo", m.audioCodecIdInfo},
        {"audioCodecIdHint", m.audioCodecIdHint},
        {"audioCodecIdUrl", m.audioCodecIdUrl},
        {"audioFormat", m.audioFormat},
        {"audioFormatProfile", m.audioFormatProfile},
        {"audioStreamCount", std::to_string(m.audioStreamCount), true},
    };
    return fields;
}

std::vector<Field> itemFields(const SourceList& list, std::size_t row, Report report) {
    std::vector<Field> fields;
    const auto cells = list.cells(row);
    for (std::size_t column = 1; column < cells.size(); ++column) {
        fields.push_back({"col" + std::to_string(column), cells[column]});
    }
    const SourceItem& item = *list.item(row);
    fields.push_back({"fileLine", item.fileLine});
    fields.push_back({"videoLine", item.videoLine});
    fields.push_back({"audioLine", item.audioLine});
    fields.push_back({"subtitleLine", item.subtitleLine});
    for (Field& field : mediaFields(item.media)) fields.push_back(std::move(field));
    if (report == Report::Summary) fields.push_back({"report", item.media.informSummary});
    if (report == Report::Normal) fields.push_back({"report", item.media.informNormal});
    if (report == Report::Complete) fields.push_back({"report", item.media.informComplete});
    return fields;
}

// Line breaks are written as the four characters \r\n so that each value stays on its line.
std::string oneLine(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

// Collects what the list would show in a message box, to print it with the file.
class CollectingObserver : public RunObserver {
public:
    void showMessage(std::string_view, std::string_view text, MessageIcon) override { messages.emplace_back(text); }
    bool askYesNo(std::string_view, std::string_view) override { return false; }
    std::vector<std::string> messages;
};

std::optional<Report> parseReport(std::string_view text) {
    if (text == "summary") return Report::Summary;
    if (text == "normal") return Report::Normal;
    if (text == "complete") return Report::Complete;
    return std::nullopt;
}

}  // namespace

int runProbe(const CliContext& context, std::span<const std::string> arguments) {
    bool json = false;
    Report report = Report::None;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!context.mayBeOption(i, argument)) {
            files.push_back(argument);
        } else if (argument == "--json") {
            json = true;
        } else if (argument == "--report" || argument.starts_with("--report=")) {
            std::string value;
            if (argument == "--report") {
                if (i + 1 >= arguments.size()) return usageError("probe", "--report needs summary, normal or complete");
                value = arguments[++i];
            } else {
                value = argument.substr(9);
            }
            const auto chosen = parseReport(value);
            if (!chosen) return usageError("probe", "--report takes summary, normal or complete, not " + value);
            report = *chosen;
        } else {
            return usageError("probe", "unknown option " + argument);
        }
    }
    if (files.empty()) return usageError("probe", "needs at least one file");

    MediaInfoLibrary* binding = mediaInfoOrReport("probe");
    if (binding == nullptr) return kExitLibraryMissing;
    MediaInfoLibrary& library = *binding;

    bool anyRefused = false;
    JsonWriter writer(std::cout);
    if (json) writer.beginArray();
    for (const std::string& path : files) {
        SourceList list;
        CollectingObserver observer;
        const bool added = addSourceFile(list, path, library, observer, nullptr);
        std::vector<Field> fields;
        if (added) {
            fields = itemFields(list, 0, report);
        } else {
            anyRefused = true;
            std::string message = observer.messages.empty()
                                      ? std::string("not added: missing, unreadable, empty or a folder")
                                      : observer.messages.front();
            fields.push_back({"refused", message});
        }
        if (json) {
            writer.beginObject();
            writer.field("path", path);
            for (const Field& field : fields) {
                field.isNumber ? writer.numberField(field.name, field.value) : writer.field(field.name, field.value);
            }
            writer.endObject();
            continue;
        }
        std::cout << "== " << oneLine(path) << "\n";
        for (const Field& field : fields) {
            if (field.name == "report") {
                std::cout << "-- report\n" << field.value << "\n";
            } else {
                std::cout << field.name << "=" << oneLine(field.value) << "\n";
            }
        }
    }
    if (json) {
        writer.endArray();
        std::cout << "\n";
    }
    return anyRefused ? kExitFailed : kExitOk;
}

}  // namespace torvane::cli
