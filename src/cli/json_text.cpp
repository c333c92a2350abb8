#include "cli/json_text.h"

#include <cstdio>
#include <string>

#include "platform/name_text.h"
#include "platform/text_encoding.h"

namespace torvane::cli {

void JsonWriter::beginArray() {
    separate();
    out_ << "[";
    first_ = true;
}

void JsonWriter::endArray() {
    out_ << "]";
    first_ = false;
}

void JsonWriter::beginObject() {
    separate();
    out_ << "{";
    first_ = true;
}

void JsonWriter::endObject() {
    out_ << "}";
    first_ = false;
}

void JsonWriter::field(std::string_view name, std::string_view text) {
    separate();
    writeString(name);
    out_ << ":";
    writeString(text);
}

void JsonWriter::numberField(std::string_view name, std::string_view number) {
    separate();
    writeString(name);
    out_ << ":" << number;
}

void JsonWriter::separate() {
    if (!first_) out_ << ",";
    first_ = false;
}

void JsonWriter::writeString(std::string_view text) {
    // JSON text is UTF-8: bytes that are not (a file name from a Windows disk, an encoder's
    // message quoting one) are shown as the program shows such names anywhere else.
    std::string decoded;
    if (!isValidUtf8(text)) {
        decoded = nameText(text);
        text = decoded;
    }
    out_ << '"';
    for (const char c : text) {
        switch (c) {
            case '"':
                out_ << "\\\"";
                break;
            case '\\':
                out_ << "\\\\";
                break;
            case '\n':
                out_ << "\\n";
                break;
            case '\r':
                out_ << "\\r";
                break;
            case '\t':
                out_ << "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    out_ << escaped;
                } else {
                    out_ << c;
                }
        }
    }
    out_ << '"';
}

}  // namespace torvane::cli
