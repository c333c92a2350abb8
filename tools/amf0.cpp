#include "tools/amf0.h"

#include <bit>
#include <cstring>

#include "tools/safe_rewrite.h"

namespace posttools::amf0 {

namespace {

// Nested values deeper than this are treated as damage, not data: it keeps the stack bounded.
constexpr int kMaxDepth = 64;

uint64_t readBig(const std::string& bytes, size_t& at, size_t width) {
    if (at > bytes.size() || bytes.size() - at < width) throw Failure("the script data is cut short");
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    at += width;
    return value;
}

void putBig(std::string& out, uint64_t value, size_t width) {
    for (size_t i = width; i > 0; --i) out.push_back(static_cast<char>((value >> (8 * (i - 1))) & 0xff));
}

std::string readText(const std::string& bytes, size_t& at, uint64_t length) {
    if (at > bytes.size() || bytes.size() - at < length) throw Failure("the script data is cut short");
    std::string text = bytes.substr(at, length);
    at += length;
    return text;
}

// Object members up to the empty name and end marker.
std::vector<Member> readMembers(const std::string& bytes, size_t& at, int depth);

Value readAt(const std::string& bytes, size_t& at, int depth) {
    if (depth > kMaxDepth) throw Failure("the script data nests too deeply");
    Value value;
    const auto type = readBig(bytes, at, 1);
    switch (type) {
        case 0:
            value.kind = Value::Kind::Number;
            value.number = std::bit_cast<double>(readBig(bytes, at, 8));
            break;
        case 1:
            value.kind = Value::Kind::Boolean;
            value.boolean = readBig(bytes, at, 1) != 0;
            break;
        case 2:
            value.kind = Value::Kind::String;
            value.text = readText(bytes, at, readBig(bytes, at, 2));
            break;
        case 3:
            value.kind = Value::Kind::Object;
            value.members = readMembers(bytes, at, depth);
            break;
        case 5:
            value.kind = Value::Kind::Null;
            break;
        case 6:
            value.kind = Value::Kind::Undefined;
            break;
        case 8:
            value.kind = Value::Kind::EcmaArray;
            readBig(bytes, at, 4);  // the count is a hint only; the end marker ends it
            value.members = readMembers(bytes, at, depth);
            break;
        case 10: {
            value.kind = Value::Kind::StrictArray;
            const uint64_t count = readBig(bytes, at, 4);
            // Each item takes at least one byte, which bounds a damaged count.
            if (count > bytes.size() - at) throw Failure("the script data is cut short");
            for (uint64_t i = 0; i < count; ++i) value.items.push_back(readAt(bytes, at, depth + 1));
            break;
        }
        case 11:
            value.kind = Value::Kind::Date;
            value.number = std::bit_cast<double>(readBig(bytes, at, 8));
            value.timeZone = static_cast<int16_t>(readBig(bytes, at, 2));
            break;
        case 12:
            value.kind = Value::Kind::LongString;
            value.text = readText(bytes, at, readBig(bytes, at, 4));
            break;
        default:
            throw Failure("the script data holds an AMF0 type this program does not know");
    }
    return value;
}

std::vector<Member> readMembers(const std::string& bytes, size_t& at, int depth) {
    std::vector<Member> members;
    for (;;) {
        std::string name = readName(bytes, at);
        if (name.empty()) {
            if (readBig(bytes, at, 1) != 9) throw Failure("an AMF0 object lacks its end marker");
            return members;
        }
        members.push_back({std::move(name), readAt(bytes, at, depth + 1)});
    }
}

void writeMembers(std::string& out, const std::vector<Member>& members) {
    for (const auto& [name, member] : members) {
        writeName(out, name);
        write(out, member);
    }
    putBig(out, 0, 2);
    out.push_back(9);
}

}  // namespace

Value Value::makeNumber(double value) {
    Value v;
    v.kind = Kind::Number;
    v.number = value;
    return v;
}

Value Value::makeBoolean(bool value) {
    Value v;
    v.kind = Kind::Boolean;
    v.boolean = value;
    return v;
}

Value Value::makeString(std::string value) {
    Value v;
    v.kind = value.size() > 0xffff ? Kind::LongString : Kind::String;
    v.text = std::move(value);
    return v;
}

Value Value::makeObject(std::vector<Member> members) {
    Value v;
    v.kind = Kind::Object;
    v.members = std::move(members);
    return v;
}

Value Value::makeArray(std::vector<Value> items) {
    Value v;
    v.kind = Kind::StrictArray;
    v.items = std::move(items);
    return v;
}

Value read(const std::string& bytes, size_t& at) {
    return readAt(bytes, at, 0);
}

std::string readName(const std::string& bytes, size_t& at) {
    return readText(bytes, at, readBig(bytes, at, 2));
}

void writeName(std::string& out, const std::string& name) {
    // Names longer than a short string allows cannot be written; they are cut rather than corrupt the data.
    const std::string kept = name.substr(0, 0xffff);
    putBig(out, kept.size(), 2);
    out += kept;
}

void write(std::string& out, const Value& value) {
    switch (value.kind) {
        case Value::Kind::Number:
            out.push_back(0);
            putBig(out, std::bit_cast<uint64_t>(value.number), 8);
            break;
        case Value::Kind::Boolean:
            out.push_back(1);
            out.push_back(value.boolean ? 1 : 0);
            break;
        case Value::Kind::String:
            out.push_back(2);
            writeName(out, value.text);
            break;
        case Value::Kind::Object:
            out.push_back(3);
            writeMembers(out, value.members);
            break;
        case Value::Kind::Null:
            out.push_back(5);
            break;
        case Value::Kind::Undefined:
            out.push_back(6);
            break;
        case Value::Kind::EcmaArray:
            out.push_back(8);
            putBig(out, value.members.size(), 4);
            writeMembers(out, value.members);
            break;
        case Value::Kind::StrictArray:
            out.push_back(10);
            putBig(out, value.items.size(), 4);
            for (const Value& item : value.items) write(out, item);
            break;
        case Value::Kind::Date:
            out.push_back(11);
            putBig(out, std::bit_cast<uint64_t>(value.number), 8);
            putBig(out, static_cast<uint16_t>(value.timeZone), 2);
            break;
        case Value::Kind::LongString:
            out.push_back(12);
            putBig(out, value.text.size(), 4);
            out += value.text;
            break;
    }
}

}  // namespace posttools::amf0
