// The global classes and functions: Object, Function, Array, String, Math, Color, flash.geom and the
// stand-ins for players' interfaces a converter has no use for (Stage, Key, Mouse).
#include "flashgrab/avm1_builtins.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "flashgrab/display_list.h"

namespace flashgrab {
namespace {

Value nothing(Avm1&, Value, const Args&) {
    return {};
}

Value returnSelf(Avm1&, Value self, const Args&) {
    return self;
}

// --- Object and Function

Value hasOwnProperty(Avm1&, Value self, const Args& args) {
    if (!self.isObject()) return Value::boolean(false);
    return Value::boolean(self.object->properties.count(toString(arg(args, 0))) > 0);
}

Value objectToString(Avm1&, Value self, const Args&) {
    return Value::str(toString(self));
}

Value functionCall(Avm1& vm, Value self, const Args& args) {
    Args rest(args.size() > 1 ? args.begin() + 1 : args.end(), args.end());
    return vm.call(self, arg(args, 0), rest);
}

Value functionApply(Avm1& vm, Value self, const Args& args) {
    Value list = arg(args, 1);
    Args rest;
    if (list.isObject() && list.object->kind == ObjectKind::Array) rest = list.object->elements;
    return vm.call(self, arg(args, 0), rest);
}

Value registerClass(Avm1& vm, Value, const Args& args) {
    vm.registerClass(toString(arg(args, 0)), arg(args, 1));
    return Value::boolean(true);
}

// --- Error: what scripts throw, with its message

Value errorConstructor(Avm1& vm, Value self, const Args& args) {
    if (self.isObject() && !args.empty() && !args[0].isUndefined()) vm.setMember(self, "message", args[0]);
    return {};
}

Value errorToString(Avm1& vm, Value self, const Args&) {
    return Value::str(toString(vm.getMember(self, "message")));
}

// --- Number, conversions

Value numberConstructor(Avm1&, Value, const Args& args) {
    return Value::num(args.empty() ? 0 : toNumber(args[0]));
}

// n.toString(radix): whole numbers in bases 2 to 36, everything else in base 10.
Value numberToStringMethod(Avm1&, Value self, const Args& args) {
    double n = toNumber(self);
    double radix = args.empty() ? 10 : number(args, 0);
    if (!(radix >= 2 && radix <= 36) || radix == 10 || !std::isfinite(n) || n != std::floor(n) || std::fabs(n) > 9e15)
        return Value::str(flashgrab::numberToString(n));
    auto base = static_cast<unsigned long long>(radix);
    auto magnitude = static_cast<unsigned long long>(std::fabs(n));
    std::string digits;
    do {
        digits.insert(digits.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[magnitude % base]);
        magnitude /= base;
    } while (magnitude > 0);
    return Value::str(n < 0 ? "-" + digits : digits);
}

Value booleanConstructor(Avm1& vm, Value, const Args& args) {
    return Value::boolean(!args.empty() && toBoolean(args[0], vm.swfVersion()));
}

Value parseIntFunction(Avm1&, Value, const Args& args) {
    std::string s = toString(arg(args, 0));
    int radix = args.size() > 1 ? toInt32(number(args, 1)) : 10;
    if (radix < 2 || radix > 36) radix = 10;
    const char* begin = s.c_str();
    while (*begin == ' ') ++begin;
    if (args.size() < 2 && begin[0] == '0' && (begin[1] == 'x' || begin[1] == 'X')) {
        radix = 16;
        begin += 2;
    }
    char* end = nullptr;
    long long v = std::strtoll(begin, &end, radix);
    return end == begin ? Value::num(std::nan("")) : Value::num(static_cast<double>(v));
}

Value parseFloatFunction(Avm1&, Value, const Args& args) {
    std::string s = toString(arg(args, 0));
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    return end == s.c_str() ? Value::num(std::nan("")) : Value::num(v);
}

Value isNaNFunction(Avm1&, Value, const Args& args) {
    return Value::boolean(std::isnan(number(args, 0)));
}

Value isFiniteFunction(Avm1&, Value, const Args& args) {
    return Value::boolean(std::isfinite(number(args, 0)));
}

// setInterval(function, ms, args...) or setInterval(object, "method", ms, args...).
Value startTimer(Avm1& vm, const Args& args, bool once) {
    Value function = arg(args, 0), self;
    std::size_t next = 1;
    if (arg(args, 1).type == Value::Type::String) {
        self = function;
        function = vm.getMember(self, toString(arg(args, 1)));
        next = 2;
    }
    if (!function.isObject() || function.object->kind != ObjectKind::Function) return {};
    double period = number(args, next);
    Args rest(args.size() > next + 1 ? args.begin() + static_cast<std::ptrdiff_t>(next + 1) : args.end(), args.end());
    int id = vm.addTimer(function, self, std::move(rest), period, once);
    return id ? Value::num(id) : Value{};
}

Value setInterval(Avm1& vm, Value, const Args& args) {
    return startTimer(vm, args, false);
}

Value setTimeout(Avm1& vm, Value, const Args& args) {
    return startTimer(vm, args, true);
}

Value clearTimer(Avm1& vm, Value, const Args& args) {
    double id = number(args, 0);
    if (std::isfinite(id) && id >= 1 && id < 2e9) vm.removeTimer(static_cast<int>(id));
    return {};
}

Value getTimer(Avm1& vm, Value, const Args&) {
    return Value::num(vm.movieTime());
}

// --- Math

template <double (*F)(double)>
Value math1(Avm1&, Value, const Args& args) {
    return Value::num(F(number(args, 0)));
}

double roundHalfUp(double x) {
    return std::floor(x + 0.5);
}

Value mathAtan2(Avm1&, Value, const Args& args) {
    return Value::num(std::atan2(number(args, 0), number(args, 1)));
}
Value mathPow(Avm1&, Value, const Args& args) {
    return Value::num(std::pow(number(args, 0), number(args, 1)));
}
Value mathMin(Avm1&, Value, const Args& args) {
    if (args.empty()) return Value::num(INFINITY);
    double a = number(args, 0), b = args.size() > 1 ? number(args, 1) : a;
    return Value::num(std::isnan(a) || std::isnan(b) ? std::nan("") : std::min(a, b));
}
Value mathMax(Avm1&, Value, const Args& args) {
    if (args.empty()) return Value::num(-INFINITY);
    double a = number(args, 0), b = args.size() > 1 ? number(args, 1) : a;
    return Value::num(std::isnan(a) || std::isnan(b) ? std::nan("") : std::max(a, b));
}
Value mathRandom(Avm1& vm, Value, const Args&) {
    return Value::num(static_cast<double>(vm.nextRandom() % 1000000u) / 1000000.0);
}

// --- Color

Instance* colorTarget(const Value& self) {
    if (!self.isObject()) return nullptr;
    const Value& target = self.object->target;
    return target.isObject() ? target.object->instance : nullptr;
}

Value colorConstructor(Avm1& vm, Value self, const Args& args) {
    if (!self.isObject()) return {};
    Value target = arg(args, 0);
    // An empty or unknown path colours nothing.
    std::string path = target.isObject() ? std::string() : toString(target);
    Object* clip = target.isObject() ? target.object : path.empty() ? nullptr : vm.resolveTarget(path, vm.root());
    self.object->kind = ObjectKind::Color;
    self.object->target = Value::obj(clip);
    return self;
}

Value setRGB(Avm1&, Value self, const Args& args) {
    Instance* i = colorTarget(self);
    if (!i) return {};
    auto rgb = static_cast<std::uint32_t>(toInt32(number(args, 0)));
    i->scriptColoured = true;
    ColorTransform& cx = i->colorTransform;
    cx.mul[0] = cx.mul[1] = cx.mul[2] = 0;
    cx.add[0] = (rgb >> 16) & 0xFF;
    cx.add[1] = (rgb >> 8) & 0xFF;
    cx.add[2] = rgb & 0xFF;
    return {};
}

Value getRGB(Avm1&, Value self, const Args&) {
    Instance* i = colorTarget(self);
    if (!i) return {};
    const ColorTransform& cx = i->colorTransform;
    auto channel = [&cx](int c) { return static_cast<std::uint32_t>(std::clamp(cx.add[c], 0.0, 255.0)); };
    return Value::num(static_cast<double>((channel(0) << 16) | (channel(1) << 8) | channel(2)));
}

Value setTransform(Avm1& vm, Value self, const Args& args) {
    Instance* i = colorTarget(self);
    Value t = arg(args, 0);
    if (!i || !t.isObject()) return {};
    i->scriptColoured = true;
    ColorTransform& cx = i->colorTransform;
    const char* keys[4][2] = {{"ra", "rb"}, {"ga", "gb"}, {"ba", "bb"}, {"aa", "ab"}};
    // Only the object's own values count: one it inherits (a value put on Object.prototype) leaves
    // its channel as it was.
    const auto own = [&](const char* key) {
        return t.object->properties.count(key) ? toNumber(vm.getMember(t, key)) : std::nan("");
    };
    for (int c = 0; c < 4; ++c) {
        double mul = own(keys[c][0]);
        double add = own(keys[c][1]);
        if (std::isfinite(mul)) cx.mul[static_cast<std::size_t>(c)] = mul / 100;
        if (std::isfinite(add)) cx.add[static_cast<std::size_t>(c)] = add;
    }
    return {};
}

Value getTransform(Avm1& vm, Value self, const Args&) {
    Instance* i = colorTarget(self);
    Object* out = vm.newObject(vm.objectProto());
    if (!i || !out) return Value::obj(out);
    const ColorTransform& cx = i->colorTransform;
    const char* keys[4][2] = {{"ra", "rb"}, {"ga", "gb"}, {"ba", "bb"}, {"aa", "ab"}};
    for (std::size_t c = 0; c < 4; ++c) {
        out->properties[keys[c][0]] = Value::num(cx.mul[c] * 100);
        out->properties[keys[c][1]] = Value::num(cx.add[c]);
    }
    return Value::obj(out);
}

// --- flash.geom

Value rectangleConstructor(Avm1&, Value self, const Args& args) {
    if (!self.isObject()) return {};
    const char* names[] = {"x", "y", "width", "height"};
    for (std::size_t i = 0; i < 4; ++i)
        self.object->properties[names[i]] = Value::num(args.size() > i ? number(args, i) : 0);
    return self;
}

Value pointConstructor(Avm1&, Value self, const Args& args) {
    if (!self.isObject()) return {};
    self.object->properties["x"] = Value::num(args.size() > 0 ? number(args, 0) : 0);
    self.object->properties["y"] = Value::num(args.size() > 1 ? number(args, 1) : 0);
    return self;
}

Value matrixConstructor(Avm1&, Value self, const Args& args) {
    if (!self.isObject()) return {};
    const char* names[] = {"a", "b", "c", "d", "tx", "ty"};
    const double defaults[] = {1, 0, 0, 1, 0, 0};
    for (std::size_t i = 0; i < 6; ++i)
        self.object->properties[names[i]] = Value::num(args.size() > i ? number(args, i) : defaults[i]);
    return self;
}

Value colorTransformConstructor(Avm1&, Value self, const Args& args) {
    if (!self.isObject()) return {};
    const char* names[] = {"redMultiplier", "greenMultiplier", "blueMultiplier", "alphaMultiplier",
                           "redOffset",     "greenOffset",     "blueOffset",     "alphaOffset"};
    for (std::size_t i = 0; i < 8; ++i)
        self.object->properties[names[i]] = Value::num(args.size() > i ? number(args, i) : (i < 4 ? 1 : 0));
    return self;
}

}  // namespace

void addMethod(Avm1& vm, Object* on, const char* name, NativeFunction function) {
    on->properties[name] = Value::obj(vm.newNative(function));
}

Object* addClass(Avm1& vm, Object* owner, const char* name, NativeFunction constructor, Object* prototype) {
    Object* function = vm.newNative(constructor);
    if (!prototype) prototype = vm.newObject(vm.objectProto());
    function->properties["prototype"] = Value::obj(prototype);
    prototype->properties["constructor"] = Value::obj(function);
    owner->properties[name] = Value::obj(function);
    return prototype;
}

void installBuiltins(Avm1& vm, Object* global) {
    auto method = [&vm](Object* on, const char* name, NativeFunction f) { addMethod(vm, on, name, f); };

    Object* objectProto = vm.objectProto();
    addClass(vm, global, "Object", returnSelf, objectProto);
    method(objectProto, "hasOwnProperty", hasOwnProperty);
    method(objectProto, "toString", objectToString);
    method(objectProto, "addProperty", nothing);
    method(objectProto, "watch", nothing);
    Object* objectClass = global->properties["Object"].object;
    method(objectClass, "registerClass", registerClass);

    Object* functionProto = vm.functionProto();
    addClass(vm, global, "Function", returnSelf, functionProto);
    method(functionProto, "call", functionCall);
    method(functionProto, "apply", functionApply);

    installArrayAndString(vm, global);

    Object* errorProto = addClass(vm, global, "Error", errorConstructor, nullptr);
    method(errorProto, "toString", errorToString);
    errorProto->properties["message"] = Value::str("Error");
    errorProto->properties["name"] = Value::str("Error");

    Object* numberProto = addClass(vm, global, "Number", numberConstructor, nullptr);
    method(numberProto, "toString", numberToStringMethod);
    method(numberProto, "valueOf", returnSelf);
    Object* booleanProto = addClass(vm, global, "Boolean", booleanConstructor, nullptr);
    method(booleanProto, "toString", objectToString);
    method(booleanProto, "valueOf", returnSelf);
    method(global, "parseInt", parseIntFunction);
    method(global, "parseFloat", parseFloatFunction);
    method(global, "isNaN", isNaNFunction);
    method(global, "isFinite", isFiniteFunction);
    method(global, "getTimer", getTimer);
    method(global, "ASSetPropFlags", nothing);
    method(global, "setInterval", setInterval);
    method(global, "setTimeout", setTimeout);
    method(global, "clearInterval", clearTimer);
    method(global, "clearTimeout", clearTimer);
    method(global, "fscommand", nothing);
    method(global, "updateAfterEvent", nothing);
    global->properties["NaN"] = Value::num(std::nan(""));
    global->properties["Infinity"] = Value::num(INFINITY);

    Object* math = vm.newObject(objectProto);
    global->properties["Math"] = Value::obj(math);
    method(math, "abs", math1<std::fabs>);
    method(math, "floor", math1<std::floor>);
    method(math, "ceil", math1<std::ceil>);
    method(math, "round", math1<roundHalfUp>);
    method(math, "sqrt", math1<std::sqrt>);
    method(math, "sin", math1<std::sin>);
    method(math, "cos", math1<std::cos>);
    method(math, "tan", math1<std::tan>);
    method(math, "asin", math1<std::asin>);
    method(math, "acos", math1<std::acos>);
    method(math, "atan", math1<std::atan>);
    method(math, "exp", math1<std::exp>);
    method(math, "log", math1<std::log>);
    method(math, "atan2", mathAtan2);
    method(math, "pow", mathPow);
    method(math, "min", mathMin);
    method(math, "max", mathMax);
    method(math, "random", mathRandom);
    math->properties["PI"] = Value::num(std::numbers::pi);
    math->properties["E"] = Value::num(std::numbers::e);
    math->properties["SQRT2"] = Value::num(std::numbers::sqrt2);
    math->properties["SQRT1_2"] = Value::num(std::numbers::sqrt2 / 2);
    math->properties["LN2"] = Value::num(std::numbers::ln2);
    math->properties["LN10"] = Value::num(std::numbers::ln10);

    Object* colorProto = addClass(vm, global, "Color", colorConstructor, nullptr);
    method(colorProto, "setRGB", setRGB);
    method(colorProto, "getRGB", getRGB);
    method(colorProto, "setTransform", setTransform);
    method(colorProto, "getTransform", getTransform);

    addClass(vm, global, "MovieClip", returnSelf, vm.clipProto());
    addClass(vm, global, "TextField", returnSelf, vm.textFieldProto());
    addClass(vm, global, "TextFormat", returnSelf, nullptr);
    addClass(vm, global, "Sound", returnSelf, nullptr);

    Object* flash = vm.newObject(objectProto);
    Object* geom = vm.newObject(objectProto);
    global->properties["flash"] = Value::obj(flash);
    flash->properties["geom"] = Value::obj(geom);
    addClass(vm, geom, "Rectangle", rectangleConstructor, nullptr);
    addClass(vm, geom, "Point", pointConstructor, nullptr);
    addClass(vm, geom, "Matrix", matrixConstructor, nullptr);
    addClass(vm, geom, "ColorTransform", colorTransformConstructor, nullptr);

    // Players' interfaces a converter never drives: they exist so scripts that touch them run on.
    for (const char* name : {"Stage", "Key", "Mouse", "Selection", "System"}) {
        Object* stub = vm.newObject(objectProto);
        global->properties[name] = Value::obj(stub);
        method(stub, "addListener", nothing);
        method(stub, "removeListener", nothing);
        method(stub, "hide", nothing);
        method(stub, "show", nothing);
    }
}

void Avm1::installGlobals() {
    objectProto_ = newObject(nullptr);
    functionProto_ = newObject(objectProto_);
    global_ = newObject(objectProto_);
    arrayProto_ = newObject(objectProto_);
    clipProto_ = newObject(objectProto_);
    textFieldProto_ = newObject(objectProto_);
    stringProto_ = newObject(objectProto_);
    installBuiltins(*this, global_);
    installClipMethods(*this, clipProto_, textFieldProto_);
    Object* stage = global_->properties["Stage"].object;
    stage->properties["width"] = Value::num((movie_.file.stage.xMax - movie_.file.stage.xMin) / 20.0);
    stage->properties["height"] = Value::num((movie_.file.stage.yMax - movie_.file.stage.yMin) / 20.0);
}

Value Avm1::construct(const Value& constructor, const std::vector<Value>& args) {
    if (!constructor.isObject() || constructor.object->kind != ObjectKind::Function) return Value{};
    Value proto = getMember(constructor, "prototype");
    Object* self = newObject(proto.isObject() ? proto.object : objectProto_);
    if (!self) return Value{};
    Value result = runFunction(constructor.object, Value::obj(self), args, proto.isObject() ? proto.object : nullptr);
    // Native constructors such as Array make their own object; ActionScript ones fill in this.
    if (constructor.object->native && result.isObject()) return result;
    return Value::obj(self);
}

}  // namespace flashgrab
