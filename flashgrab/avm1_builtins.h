#pragma once

#include <cstddef>
#include <vector>

#include "flashgrab/avm1.h"

namespace flashgrab {

// A built-in's arguments as the script passed them; one it left out reads as undefined.
using Args = std::vector<Value>;
inline Value arg(const Args& args, std::size_t i) {
    return i < args.size() ? args[i] : Value{};
}
inline double number(const Args& args, std::size_t i) {
    return toNumber(arg(args, i));
}

// Puts a native function on an object as the method name.
void addMethod(Avm1& vm, Object* on, const char* name, NativeFunction function);
// A class named name on owner: a native constructor whose "prototype" (a new plain object when null)
// points back to it. Returns the prototype, for its methods.
Object* addClass(Avm1& vm, Object* owner, const char* name, NativeFunction constructor, Object* prototype);

// Fills the global object with the classes and functions scripts use (Object, Array, String, Math,
// Color, flash.geom, ...); defined in avm1_builtins.cpp.
void installBuiltins(Avm1& vm, Object* global);
// Array and String with their prototypes' methods; defined in avm1_array_string.cpp.
void installArrayAndString(Avm1& vm, Object* global);
// MovieClip.prototype and TextField.prototype; defined in avm1_clip_methods.cpp.
void installClipMethods(Avm1& vm, Object* clipProto, Object* textFieldProto);

}  // namespace flashgrab
