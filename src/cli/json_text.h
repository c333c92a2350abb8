#pragma once

#include <ostream>
#include <string_view>

namespace torvane::cli {

// Writes JSON arrays of flat objects, with strings escaped; UTF-8 texts pass through, others
// are decoded as names are for showing (platform/name_text.h), so the output is always JSON.
class JsonWriter {
public:
    explicit JsonWriter(std::ostream& out) : out_(out) {}

    void beginArray();
    void endArray();
    void beginObject();
    void endObject();
    void field(std::string_view name, std::string_view text);
    // The value is written as it is: the caller gives a valid JSON number.
    void numberField(std::string_view name, std::string_view number);

private:
    void separate();
    void writeString(std::string_view text);

    std::ostream& out_;
    bool first_ = true;
};

}  // namespace torvane::cli
