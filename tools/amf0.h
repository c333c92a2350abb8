#pragma once

// AMF0 values as FLV script tags carry them: enough to read any onMetaData written by another
// program (so its extra entries survive) and to write ours.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace posttools::amf0 {

struct Member;

struct Value {
    enum class Kind { Number, Boolean, String, Object, Null, Undefined, EcmaArray, StrictArray, Date, LongString };
    Kind kind = Kind::Null;
    double number = 0;  // Number, Date (milliseconds)
    bool boolean = false;
    std::string text;  // String, LongString
    int16_t timeZone = 0;
    std::vector<Member> members;  // Object, EcmaArray
    std::vector<Value> items;     // StrictArray

    static Value makeNumber(double value);
    static Value makeBoolean(bool value);
    static Value makeString(std::string value);
    static Value makeObject(std::vector<Member> members);
    static Value makeArray(std::vector<Value> items);
};

// One named entry of an object or an ECMA array. A struct of its own, not a std::pair: a pair
// of the type being defined is not allowed (only GCC's library lets it pass).
struct Member {
    std::string name;
    Value value;
};

// Reads one value at at, advancing it; throws Failure on data that is cut short or unknown.
Value read(const std::string& bytes, size_t& at);
// Reads a name as used by object keys and the script tag's first value (without the type byte).
std::string readName(const std::string& bytes, size_t& at);

void write(std::string& out, const Value& value);
void writeName(std::string& out, const std::string& name);

}  // namespace posttools::amf0
