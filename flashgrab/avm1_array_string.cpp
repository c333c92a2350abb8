// The Array and String classes: their constructors and the methods scripts call on arrays and strings.
#include <algorithm>
#include <cmath>

#include "flashgrab/avm1_builtins.h"

namespace flashgrab {
namespace {

Value stringToString(Avm1&, Value self, const Args&) {
    return Value::str(toString(self));
}

// --- Array

Object* arrayOf(const Value& self) {
    return self.isObject() && self.object->kind == ObjectKind::Array ? self.object : nullptr;
}

Value arrayConstructor(Avm1& vm, Value, const Args& args) {
    Object* array = vm.newArray();
    if (!array) return {};
    if (args.size() == 1 && args[0].type == Value::Type::Number) {
        double n = args[0].number;
        if (n >= 0 && n < static_cast<double>(kMaxObjects)) vm.resizeElements(array, static_cast<std::size_t>(n));
    } else {
        array->elements = args;
    }
    return Value::obj(array);
}

// push and unshift: the arguments added at one end, within the allowances; the new length.
Value addElements(Avm1& vm, Value self, const Args& args, bool atFront) {
    Object* a = arrayOf(self);
    if (!a) return {};
    if (a->elements.size() + args.size() < kMaxObjects && vm.allocate(args.size() * sizeof(Value)))
        a->elements.insert(atFront ? a->elements.begin() : a->elements.end(), args.begin(), args.end());
    return Value::num(static_cast<double>(a->elements.size()));
}

// pop and shift: the element taken from one end, or undefined.
Value takeElement(Value self, bool atFront) {
    Object* a = arrayOf(self);
    if (!a || a->elements.empty()) return {};
    auto at = atFront ? a->elements.begin() : a->elements.end() - 1;
    Value v = *at;
    a->elements.erase(at);
    return v;
}

Value arrayPush(Avm1& vm, Value self, const Args& args) {
    return addElements(vm, self, args, false);
}

Value arrayPop(Avm1&, Value self, const Args&) {
    return takeElement(self, false);
}

Value arrayShift(Avm1&, Value self, const Args&) {
    return takeElement(self, true);
}

Value arrayUnshift(Avm1& vm, Value self, const Args& args) {
    return addElements(vm, self, args, true);
}

Value arrayJoin(Avm1& vm, Value self, const Args& args) {
    Object* a = arrayOf(self);
    if (!a) return {};
    std::string separator = args.empty() || args[0].isUndefined() ? "," : toString(args[0]);
    std::string out;
    for (std::size_t i = 0; i < a->elements.size(); ++i) {
        if (i) out += separator;
        if (!a->elements[i].isUndefined()) out += toString(a->elements[i]);
        if (out.size() > kMaxObjects) break;
    }
    return vm.join(out, std::string());
}

std::size_t clampIndex(double n, std::size_t size) {
    if (std::isnan(n)) return 0;
    if (n < 0) n += static_cast<double>(size);
    return static_cast<std::size_t>(std::clamp(n, 0.0, static_cast<double>(size)));
}

Value arraySlice(Avm1& vm, Value self, const Args& args) {
    Object* a = arrayOf(self);
    Object* out = vm.newArray();
    if (!a || !out) return Value::obj(out);
    std::size_t from = clampIndex(number(args, 0), a->elements.size());
    std::size_t to = args.size() > 1 ? clampIndex(number(args, 1), a->elements.size()) : a->elements.size();
    if (from < to && vm.allocate((to - from) * sizeof(Value)))
        out->elements.assign(a->elements.begin() + static_cast<std::ptrdiff_t>(from),
                             a->elements.begin() + static_cast<std::ptrdiff_t>(to));
    return Value::obj(out);
}

Value arraySplice(Avm1& vm, Value self, const Args& args) {
    Object* a = arrayOf(self);
    Object* out = vm.newArray();
    if (!a || !out) return Value::obj(out);
    std::size_t from = clampIndex(number(args, 0), a->elements.size());
    double wanted = args.size() > 1 ? number(args, 1) : static_cast<double>(a->elements.size() - from);
    if (std::isnan(wanted)) wanted = 0;
    auto count = static_cast<std::size_t>(std::clamp(wanted, 0.0, static_cast<double>(a->elements.size() - from)));
    if (!vm.allocate((count + args.size()) * sizeof(Value))) return Value::obj(out);
    auto begin = a->elements.begin() + static_cast<std::ptrdiff_t>(from);
    out->elements.assign(begin, begin + static_cast<std::ptrdiff_t>(count));
    a->elements.erase(begin, begin + static_cast<std::ptrdiff_t>(count));
    if (args.size() > 2 && a->elements.size() + args.size() < kMaxObjects)
        a->elements.insert(a->elements.begin() + static_cast<std::ptrdiff_t>(from), args.begin() + 2, args.end());
    return Value::obj(out);
}

Value arrayConcat(Avm1& vm, Value self, const Args& args) {
    Object* a = arrayOf(self);
    Object* out = vm.newArray();
    if (!out) return {};
    if (a && vm.allocate(a->elements.size() * sizeof(Value))) out->elements = a->elements;
    for (const Value& v : args) {
        if (Object* other = arrayOf(v); other && !vm.allocate(other->elements.size() * sizeof(Value))) break;
        if (Object* other = arrayOf(v))
            out->elements.insert(out->elements.end(), other->elements.begin(), other->elements.end());
        else
            out->elements.push_back(v);
        if (out->elements.size() >= kMaxObjects) break;
    }
    return Value::obj(out);
}

Value arrayReverse(Avm1&, Value self, const Args&) {
    if (Object* a = arrayOf(self)) std::reverse(a->elements.begin(), a->elements.end());
    return self;
}

Value arraySort(Avm1& vm, Value self, const Args& args) {
    Object* a = arrayOf(self);
    if (!a) return self;
    Value compare = arg(args, 0);
    if (compare.isObject() && compare.object->kind == ObjectKind::Function) {
        std::stable_sort(a->elements.begin(), a->elements.end(), [&](const Value& x, const Value& y) {
            return toNumber(vm.call(compare, Value{}, {x, y})) < 0;
        });
    } else {
        bool numeric = compare.type == Value::Type::Number && (static_cast<int>(compare.number) & 16);
        std::stable_sort(a->elements.begin(), a->elements.end(), [numeric](const Value& x, const Value& y) {
            return numeric ? toNumber(x) < toNumber(y) : toString(x) < toString(y);
        });
    }
    return self;
}

// --- String

Value stringConstructor(Avm1&, Value, const Args& args) {
    return Value::str(args.empty() ? std::string() : toString(args[0]));
}

std::string selfString(const Value& self) {
    return toString(self);
}

Value charAt(Avm1&, Value self, const Args& args) {
    std::string s = selfString(self);
    double i = number(args, 0);
    if (std::isnan(i)) i = 0;
    return Value::str(i >= 0 && i < static_cast<double>(s.size()) ? s.substr(static_cast<std::size_t>(i), 1) : "");
}

Value charCodeAt(Avm1&, Value self, const Args& args) {
    std::string s = selfString(self);
    double i = number(args, 0);
    if (std::isnan(i)) i = 0;
    if (i < 0 || i >= static_cast<double>(s.size())) return Value::num(std::nan(""));
    return Value::num(static_cast<unsigned char>(s[static_cast<std::size_t>(i)]));
}

Value indexOf(Avm1&, Value self, const Args& args) {
    std::string s = selfString(self);
    std::size_t from = args.size() > 1 ? clampIndex(std::max(0.0, number(args, 1)), s.size()) : 0;
    auto at = s.find(toString(arg(args, 0)), from);
    return Value::num(at == std::string::npos ? -1 : static_cast<double>(at));
}

Value lastIndexOf(Avm1&, Value self, const Args& args) {
    std::string s = selfString(self);
    auto at = s.rfind(toString(arg(args, 0)));
    return Value::num(at == std::string::npos ? -1 : static_cast<double>(at));
}

Value substr(Avm1&, Value self, const Args& args) {
    std::string s = selfString(self);
    std::size_t from = clampIndex(number(args, 0), s.size());
    double n = args.size() > 1 ? number(args, 1) : static_cast<double>(s.size());
    std::size_t count = std::isnan(n) || n < 0 ? 0 : static_cast<std::size_t>(std::min(n, 1e9));
    return Value::str(s.substr(from, count));
}

Value substring(Avm1&, Value self, const Args& args) {
    std::string s = selfString(self);
    auto index = [&s](double n) {
        return static_cast<std::size_t>(std::clamp(std::isnan(n) ? 0.0 : n, 0.0, static_cast<double>(s.size())));
    };
    std::size_t a = index(number(args, 0));
    std::size_t b = args.size() > 1 && !args[1].isUndefined() ? index(number(args, 1)) : s.size();
    if (a > b) std::swap(a, b);
    return Value::str(s.substr(a, b - a));
}

Value slice(Avm1&, Value self, const Args& args) {
    std::string s = selfString(self);
    std::size_t a = clampIndex(number(args, 0), s.size());
    std::size_t b = args.size() > 1 && !args[1].isUndefined() ? clampIndex(number(args, 1), s.size()) : s.size();
    return Value::str(a < b ? s.substr(a, b - a) : "");
}

Value split(Avm1& vm, Value self, const Args& args) {
    std::string s = selfString(self);
    Object* out = vm.newArray();
    if (!out || !vm.allocate(s.size() * (sizeof(Value) + 32))) return Value::obj(out);
    if (args.empty() || args[0].isUndefined()) {
        out->elements.push_back(Value::str(s));
        return Value::obj(out);
    }
    std::string separator = toString(args[0]);
    if (separator.empty()) {
        for (char c : s) out->elements.push_back(Value::str(std::string(1, c)));
        return Value::obj(out);
    }
    std::size_t pos = 0;
    while (out->elements.size() < kMaxObjects) {
        auto at = s.find(separator, pos);
        out->elements.push_back(Value::str(s.substr(pos, at == std::string::npos ? std::string::npos : at - pos)));
        if (at == std::string::npos) break;
        pos = at + separator.size();
    }
    return Value::obj(out);
}

Value toUpperCase(Avm1&, Value self, const Args&) {
    std::string s = selfString(self);
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return Value::str(s);
}

Value toLowerCase(Avm1&, Value self, const Args&) {
    std::string s = selfString(self);
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return Value::str(s);
}

Value stringConcat(Avm1& vm, Value self, const Args& args) {
    std::string s = selfString(self);
    for (const Value& v : args) {
        s += toString(v);
        if (s.size() > kMaxObjects) break;
    }
    return vm.join(s, std::string());
}

Value fromCharCode(Avm1&, Value, const Args& args) {
    std::string s;
    for (const Value& v : args) s += static_cast<char>(toInt32(toNumber(v)) & 0xFF);
    return Value::str(s);
}

}  // namespace

void installArrayAndString(Avm1& vm, Object* global) {
    auto method = [&vm](Object* on, const char* name, NativeFunction f) { addMethod(vm, on, name, f); };
    Object* arrayProto = addClass(vm, global, "Array", arrayConstructor, vm.arrayProto());
    method(arrayProto, "push", arrayPush);
    method(arrayProto, "pop", arrayPop);
    method(arrayProto, "shift", arrayShift);
    method(arrayProto, "unshift", arrayUnshift);
    method(arrayProto, "join", arrayJoin);
    method(arrayProto, "toString", arrayJoin);
    method(arrayProto, "slice", arraySlice);
    method(arrayProto, "splice", arraySplice);
    method(arrayProto, "concat", arrayConcat);
    method(arrayProto, "reverse", arrayReverse);
    method(arrayProto, "sort", arraySort);
    global->properties["Array"].object->properties["NUMERIC"] = Value::num(16);

    Object* stringProto = addClass(vm, global, "String", stringConstructor, vm.stringProto());
    method(stringProto, "charAt", charAt);
    method(stringProto, "charCodeAt", charCodeAt);
    method(stringProto, "indexOf", indexOf);
    method(stringProto, "lastIndexOf", lastIndexOf);
    method(stringProto, "substr", substr);
    method(stringProto, "substring", substring);
    method(stringProto, "slice", slice);
    method(stringProto, "split", split);
    method(stringProto, "toUpperCase", toUpperCase);
    method(stringProto, "toLowerCase", toLowerCase);
    method(stringProto, "toString", stringToString);
    method(stringProto, "concat", stringConcat);
    method(global->properties["String"].object, "fromCharCode", fromCharCode);
}

}  // namespace flashgrab
