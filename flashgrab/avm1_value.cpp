#include "flashgrab/avm1_value.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace flashgrab {

Value Value::str(std::string s) {
    return str(std::make_shared<const std::string>(std::move(s)));
}

double toNumber(const Value& v) {
    switch (v.type) {
        case Value::Type::Undefined:
        case Value::Type::Null:
            return std::nan("");
        case Value::Type::Boolean:
        case Value::Type::Number:
            return v.number;
        case Value::Type::String: {
            const std::string& s = *v.text;
            std::size_t first = s.find_first_not_of(" \t\r\n");
            if (first == std::string::npos) return std::nan("");
            const char* begin = s.c_str() + first;
            char* end = nullptr;
            double n;
            if ((begin[0] == '0' && (begin[1] == 'x' || begin[1] == 'X')))
                n = static_cast<double>(std::strtol(begin + 2, &end, 16));
            else
                n = std::strtod(begin, &end);
            if (end == begin) return std::nan("");
            while (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n') ++end;
            return *end == 0 ? n : std::nan("");
        }
        case Value::Type::Object:
            return std::nan("");
    }
    return std::nan("");
}

std::string numberToString(double n) {
    if (std::isnan(n)) return "NaN";
    if (std::isinf(n)) return n > 0 ? "Infinity" : "-Infinity";
    if (n == 0) return "0";
    if (std::fabs(n) < 1e15 && n == std::floor(n)) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.0f", n);
        return buffer;
    }
    // Fifteen significant digits, trailing zeros dropped, as Flash prints numbers.
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15g", n);
    return buffer;
}

namespace {

// Arrays print their elements; nested ones as deep as this, so a cycle ends.
constexpr int kMaxPrintDepth = 8;

std::string printed(const Value& v, int depth);

}  // namespace

std::string toString(const Value& v) {
    return printed(v, 0);
}

namespace {

std::string printed(const Value& v, int depth) {
    switch (v.type) {
        case Value::Type::Undefined:
            return "undefined";
        case Value::Type::Null:
            return "null";
        case Value::Type::Boolean:
            return v.number != 0 ? "true" : "false";
        case Value::Type::Number:
            return numberToString(v.number);
        case Value::Type::String:
            return *v.text;
        case Value::Type::Object:
            if (v.object && v.object->kind == ObjectKind::Function) return "[type Function]";
            if (v.object && v.object->kind == ObjectKind::Array) {
                std::string out;
                if (depth >= kMaxPrintDepth) return out;
                for (std::size_t i = 0; i < v.object->elements.size() && out.size() < (1u << 20); ++i) {
                    if (i) out += ',';
                    const Value& e = v.object->elements[i];
                    if (!e.isUndefined()) out += printed(e, depth + 1);
                }
                return out;
            }
            return "[object Object]";
    }
    return {};
}

}  // namespace

bool toBoolean(const Value& v, int swfVersion) {
    switch (v.type) {
        case Value::Type::Undefined:
        case Value::Type::Null:
            return false;
        case Value::Type::Boolean:
            return v.number != 0;
        case Value::Type::Number:
            return v.number != 0 && !std::isnan(v.number);
        case Value::Type::String:
            // Before SWF 7 a string is true when it reads as a non-zero number.
            if (swfVersion >= 7) return !v.text->empty();
            {
                double n = toNumber(v);
                return n != 0 && !std::isnan(n);
            }
        case Value::Type::Object:
            return true;
    }
    return false;
}

std::int32_t toInt32(double n) {
    if (!std::isfinite(n)) return 0;
    double m = std::fmod(std::trunc(n), 4294967296.0);
    if (m < 0) m += 4294967296.0;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(m));
}

bool strictlyEqual(const Value& a, const Value& b) {
    if (a.type != b.type) return false;
    switch (a.type) {
        case Value::Type::Undefined:
        case Value::Type::Null:
            return true;
        case Value::Type::Boolean:
        case Value::Type::Number:
            return a.number == b.number;
        case Value::Type::String:
            return *a.text == *b.text;
        case Value::Type::Object:
            return a.object == b.object;
    }
    return false;
}

bool looselyEqual(const Value& a, const Value& b) {
    using T = Value::Type;
    if (a.type == b.type) return strictlyEqual(a, b);
    bool aNothing = a.type == T::Undefined || a.type == T::Null;
    bool bNothing = b.type == T::Undefined || b.type == T::Null;
    if (aNothing || bNothing) return aNothing && bNothing;
    if (a.type == T::Object || b.type == T::Object) {
        // An object equals a primitive through its string form (clips print as their path).
        const Value& o = a.type == T::Object ? a : b;
        const Value& p = a.type == T::Object ? b : a;
        if (p.type == T::String) return toString(o) == *p.text;
        return false;
    }
    return toNumber(a) == toNumber(b);
}

}  // namespace flashgrab
