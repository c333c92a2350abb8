#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "flashgrab/avm1_actions.h"

namespace flashgrab {

struct Instance;
struct Object;
class Avm1;

// An ActionScript value. Objects live in the heap of the running movie and are referred to by pointer.
struct Value {
    enum class Type : std::uint8_t { Undefined, Null, Boolean, Number, String, Object };
    Type type = Type::Undefined;
    double number = 0;  // Number, Boolean (0 or 1)
    SharedString text;
    Object* object = nullptr;

    static Value null() { return Value{Type::Null, 0, {}, nullptr}; }
    static Value boolean(bool b) { return Value{Type::Boolean, b ? 1.0 : 0.0, {}, nullptr}; }
    static Value num(double n) { return Value{Type::Number, n, {}, nullptr}; }
    static Value str(SharedString s) { return Value{Type::String, 0, std::move(s), nullptr}; }
    static Value str(std::string s);
    static Value obj(Object* o) { return o ? Value{Type::Object, 0, {}, o} : Value{}; }

    bool isUndefined() const { return type == Type::Undefined; }
    bool isObject() const { return type == Type::Object && object; }
};

// The scope a function was defined in, kept alive by the functions that close over it.
struct Scope {
    std::shared_ptr<Scope> parent;
    Object* locals = nullptr;
};

using NativeFunction = Value (*)(Avm1& vm, Value self, const std::vector<Value>& args);

// What kind of thing an object stands for; the plain ones keep everything in their properties.
// Super stands for super in a function: calling it runs the parent constructor, its members are the
// parent prototype's, and methods called through it run on target, the function's this.
enum class ObjectKind : std::uint8_t { Plain, Array, Function, Clip, TextField, Color, Transform, Super };

struct Object {
    ObjectKind kind = ObjectKind::Plain;
    bool marked = false;      // reached in the last collection
    Object* proto = nullptr;  // __proto__
    std::map<std::string, Value, std::less<>> properties;
    std::vector<Value> elements;  // arrays
    // Functions: ActionScript code with the scope it closes over and the clip it was defined on, or native.
    std::shared_ptr<const FunctionCode> code;
    std::shared_ptr<Scope> scope;
    Object* definedOn = nullptr;
    const std::vector<SharedString>* pool = nullptr;  // the constant pool in force where it was defined
    NativeFunction native = nullptr;
    // Clips and text fields: the instance drawn, null once it left the display list.
    Instance* instance = nullptr;
    // Color and Transform objects: the clip they act on; super: the this it calls on.
    Value target;
};

// Numbers, strings and truth as ActionScript converts them (SWF 7 and later rules where they differ).
double toNumber(const Value& v);
std::string toString(const Value& v);
bool toBoolean(const Value& v, int swfVersion);
std::int32_t toInt32(double n);
std::string numberToString(double n);
// == of ActionScript 2 (equals2); strict is ===.
bool looselyEqual(const Value& a, const Value& b);
bool strictlyEqual(const Value& a, const Value& b);

}  // namespace flashgrab
