#pragma once

#include "flashgrab/avm1.h"

namespace flashgrab {

// Fills the global object with the classes and functions scripts use (Object, Array, String, Math,
// Color, flash.geom, ...); defined in avm1_builtins.cpp.
void installBuiltins(Avm1& vm, Object* global);
// Array and String with their prototypes' methods; defined in avm1_array_string.cpp.
void installArrayAndString(Avm1& vm, Object* global);
// MovieClip.prototype and TextField.prototype; defined in avm1_clip_methods.cpp.
void installClipMethods(Avm1& vm, Object* clipProto, Object* textFieldProto);

}  // namespace flashgrab
