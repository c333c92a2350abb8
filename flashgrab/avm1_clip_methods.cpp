// The methods of MovieClip.prototype and TextField.prototype.
#include <algorithm>
#include <cmath>

#include "flashgrab/avm1.h"
#include "flashgrab/avm1_builtins.h"
#include "flashgrab/display_list.h"
#include "flashgrab/drawing.h"

namespace flashgrab {
namespace {

Instance* clipOf(const Value& self) {
    return self.isObject() ? self.object->instance : nullptr;
}

// A number argument, with fallback for NaN and the infinities, which no clip property takes.
double finiteNumber(const Args& args, std::size_t i, double fallback = 0) {
    double n = number(args, i);
    return std::isfinite(n) ? n : fallback;
}

// Scripts count depths from the timeline's first: depth 1 of PlaceObject is -16383 to them.
constexpr int kDepthOffset = 16384;

int depthArg(const Args& args, std::size_t i) {
    return static_cast<int>(std::clamp(finiteNumber(args, i), -16384.0, 2130690045.0)) + kDepthOffset;
}

Rgba colour(double rgb, double alphaPercent) {
    auto v = static_cast<std::uint32_t>(toInt32(rgb));
    double a = std::clamp(alphaPercent, 0.0, 100.0) * 2.55;
    return Rgba{static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v),
                static_cast<std::uint8_t>(std::lround(a))};
}

// Drawing commands take their records from the display list's allowance.
bool affordDrawing(Avm1& vm) {
    return vm.affordDisplay(kDrawingRecordBytes);
}

Drawing& drawingOf(Instance& instance) {
    if (!instance.drawing) instance.drawing = std::make_unique<Drawing>();
    return *instance.drawing;
}

Value gotoAndStop(Avm1& vm, Value self, const Args& args) {
    if (self.isObject()) vm.gotoFrame(self.object, arg(args, 0), Avm1::GotoMode::Stop, 0);
    return {};
}
Value gotoAndPlay(Avm1& vm, Value self, const Args& args) {
    if (self.isObject()) vm.gotoFrame(self.object, arg(args, 0), Avm1::GotoMode::Play, 0);
    return {};
}
Value play(Avm1&, Value self, const Args&) {
    if (Instance* i = clipOf(self); i && i->timeline) i->timeline->stopped = false;
    return {};
}
Value stop(Avm1&, Value self, const Args&) {
    if (Instance* i = clipOf(self); i && i->timeline) i->timeline->stopped = true;
    return {};
}
Value nextFrame(Avm1& vm, Value self, const Args&) {
    if (Instance* i = clipOf(self); i && i->timeline) {
        i->timeline->stopped = true;
        vm.player().gotoFrame(*i->timeline, i->timeline->current + 1);
    }
    return {};
}
Value prevFrame(Avm1& vm, Value self, const Args&) {
    if (Instance* i = clipOf(self); i && i->timeline) {
        i->timeline->stopped = true;
        vm.player().gotoFrame(*i->timeline, i->timeline->current - 1);
    }
    return {};
}

Value createEmptyMovieClip(Avm1& vm, Value self, const Args& args) {
    if (!vm.affordDisplay(kScriptClipBytes)) return {};
    Instance* parent = clipOf(self);
    if (!parent) return {};
    Instance* clip = vm.player().placeClip(*parent, -1, depthArg(args, 1), toString(arg(args, 0)));
    return clip ? Value::obj(vm.objectOf(*clip)) : Value{};
}

Value createTextField(Avm1& vm, Value self, const Args& args) {
    if (!vm.affordDisplay(kScriptClipBytes)) return {};
    Instance* parent = clipOf(self);
    if (!parent) return {};
    Instance* field = vm.player().placeClip(*parent, -1, depthArg(args, 1), toString(arg(args, 0)));
    if (!field) return {};
    field->timeline.reset();
    field->text = std::make_unique<TextFieldState>();
    field->text->layoutVersion = vm.nextTextVersion();
    field->matrix.tx = finiteNumber(args, 2) * 20;
    field->matrix.ty = finiteNumber(args, 3) * 20;
    double w = std::clamp(finiteNumber(args, 4), 0.0, 1e6), h = std::clamp(finiteNumber(args, 5), 0.0, 1e6);
    field->text->field.bounds = Rect{0, static_cast<std::int32_t>(w * 20), 0, static_cast<std::int32_t>(h * 20)};
    return Value::obj(vm.objectOf(*field));
}

Value attachMovie(Avm1& vm, Value self, const Args& args) {
    if (!vm.affordDisplay(kScriptClipBytes)) return {};
    Instance* parent = clipOf(self);
    if (!parent) return {};
    auto found = vm.movie().exports.find(toString(arg(args, 0)));
    if (found == vm.movie().exports.end()) return {};
    Instance* clip = vm.player().placeClip(*parent, found->second, depthArg(args, 2), toString(arg(args, 1)));
    if (!clip) return {};
    Object* object = vm.objectOf(*clip);
    Value init = arg(args, 3);
    if (init.isObject())
        for (const auto& [name, value] : init.object->properties) vm.setMember(Value::obj(object), name, value);
    vm.constructClip(object);
    vm.queueEvent(*clip, kEventLoad);
    return Value::obj(object);
}

Value duplicateMovieClip(Avm1& vm, Value self, const Args& args) {
    if (!vm.affordDisplay(kScriptClipBytes)) return {};
    Instance* source = clipOf(self);
    if (!source || !source->parent) return {};
    Instance* copy =
        vm.player().placeClip(*source->parent, source->characterId, depthArg(args, 1), toString(arg(args, 0)));
    if (!copy) return {};
    copy->matrix = source->matrix;
    copy->colorTransform = source->colorTransform;
    copy->clipActions = source->clipActions;
    return Value::obj(vm.objectOf(*copy));
}

Value removeMovieClip(Avm1& vm, Value self, const Args&) {
    if (Instance* i = clipOf(self); i && i->placeFrame == 0) vm.player().removeClip(*i);
    return {};
}

int depthOf(const Instance& instance) {
    if (!instance.parent || !instance.parent->timeline) return 0;
    for (const auto& [depth, child] : instance.parent->timeline->children)
        if (&child == &instance) return depth;
    return 0;
}

Value getDepth(Avm1&, Value self, const Args&) {
    Instance* i = clipOf(self);
    return i ? Value::num(depthOf(*i) - kDepthOffset) : Value{};
}

Value getNextHighestDepth(Avm1&, Value self, const Args&) {
    Instance* i = clipOf(self);
    if (!i || !i->timeline) return {};
    auto& children = i->timeline->children;
    return Value::num(children.empty() ? 0 : std::max(0, children.rbegin()->first - kDepthOffset + 1));
}

Value getInstanceAtDepth(Avm1& vm, Value self, const Args& args) {
    Instance* i = clipOf(self);
    if (!i || !i->timeline) return {};
    auto found = i->timeline->children.find(depthArg(args, 0));
    return found == i->timeline->children.end() ? Value{} : Value::obj(vm.objectOf(found->second));
}

// Moves the clip to another depth, swapping with what is there. The map's nodes move as a whole, so the
// instances keep their addresses.
Value swapDepths(Avm1&, Value self, const Args& args) {
    Instance* i = clipOf(self);
    if (!i || !i->parent || !i->parent->timeline) return {};
    auto& children = i->parent->timeline->children;
    int from = depthOf(*i);
    int to = 0;
    Value target = arg(args, 0);
    if (target.isObject()) {
        if (!target.object->instance || target.object->instance->parent != i->parent) return {};
        to = depthOf(*target.object->instance);
    } else {
        to = depthArg(args, 0);
    }
    if (from == to) return {};
    auto mine = children.extract(from);
    auto theirs = children.extract(to);
    mine.key() = to;
    children.insert(std::move(mine));
    if (theirs) {
        theirs.key() = from;
        children.insert(std::move(theirs));
    }
    return {};
}

Value setMask(Avm1&, Value self, const Args& args) {
    Instance* i = clipOf(self);
    if (!i) return {};
    if (i->mask && i->mask->instance) i->mask->instance->isMask = false;
    Value mask = arg(args, 0);
    i->mask = mask.isObject() && mask.object->instance && mask.object->instance != i ? mask.object : nullptr;
    if (i->mask) {
        // Clips joined by setMask stop masking by depth as placed on the timeline.
        i->mask->instance->isMask = true;
        i->mask->instance->clipDepth = 0;
        i->clipDepth = 0;
    }
    return {};
}

Value beginFill(Avm1& vm, Value self, const Args& args) {
    if (!affordDrawing(vm)) return {};
    if (Instance* i = clipOf(self); i && !args.empty() && !arg(args, 0).isUndefined())
        drawing::beginFill(drawingOf(*i),
                           colour(finiteNumber(args, 0), args.size() > 1 ? finiteNumber(args, 1, 100) : 100));
    return {};
}
Value lineStyle(Avm1& vm, Value self, const Args& args) {
    if (!affordDrawing(vm)) return {};
    if (Instance* i = clipOf(self)) {
        double width = args.empty() || arg(args, 0).isUndefined() ? -1 : finiteNumber(args, 0, -1);
        drawing::lineStyle(drawingOf(*i), width,
                           colour(finiteNumber(args, 1), args.size() > 2 ? finiteNumber(args, 2, 100) : 100));
    }
    return {};
}
Value moveTo(Avm1& vm, Value self, const Args& args) {
    if (!affordDrawing(vm)) return {};
    if (Instance* i = clipOf(self)) drawing::moveTo(drawingOf(*i), finiteNumber(args, 0), finiteNumber(args, 1));
    return {};
}
Value lineTo(Avm1& vm, Value self, const Args& args) {
    if (!affordDrawing(vm)) return {};
    if (Instance* i = clipOf(self)) drawing::lineTo(drawingOf(*i), finiteNumber(args, 0), finiteNumber(args, 1));
    return {};
}
Value curveTo(Avm1& vm, Value self, const Args& args) {
    if (!affordDrawing(vm)) return {};
    if (Instance* i = clipOf(self))
        drawing::curveTo(drawingOf(*i), finiteNumber(args, 0), finiteNumber(args, 1), finiteNumber(args, 2),
                         finiteNumber(args, 3));
    return {};
}
Value endFill(Avm1& vm, Value self, const Args&) {
    if (!affordDrawing(vm)) return {};
    if (Instance* i = clipOf(self)) drawing::endFill(drawingOf(*i));
    return {};
}
Value clear(Avm1&, Value self, const Args&) {
    if (Instance* i = clipOf(self)) drawing::clear(drawingOf(*i));
    return {};
}

Value getBounds(Avm1& vm, Value self, const Args&) {
    Instance* i = clipOf(self);
    if (!i) return {};
    auto box = boundsIn(*i, Matrix{}, vm.movie()).value_or(Rect{});
    Object* out = vm.newObject(nullptr);
    if (!out) return {};
    out->properties["xMin"] = Value::num(box.xMin / 20.0);
    out->properties["xMax"] = Value::num(box.xMax / 20.0);
    out->properties["yMin"] = Value::num(box.yMin / 20.0);
    out->properties["yMax"] = Value::num(box.yMax / 20.0);
    return Value::obj(out);
}

Value nothing(Avm1&, Value, const Args&) {
    return {};
}

Value returnsFalse(Avm1&, Value, const Args&) {
    return Value::boolean(false);
}

}  // namespace

void installClipMethods(Avm1& vm, Object* clipProto, Object* textFieldProto) {
    const std::pair<const char*, NativeFunction> methods[] = {
        {"gotoAndStop", gotoAndStop},
        {"gotoAndPlay", gotoAndPlay},
        {"play", play},
        {"stop", stop},
        {"nextFrame", nextFrame},
        {"prevFrame", prevFrame},
        {"createEmptyMovieClip", createEmptyMovieClip},
        {"createTextField", createTextField},
        {"attachMovie", attachMovie},
        {"duplicateMovieClip", duplicateMovieClip},
        {"removeMovieClip", removeMovieClip},
        {"getDepth", getDepth},
        {"getNextHighestDepth", getNextHighestDepth},
        {"getInstanceAtDepth", getInstanceAtDepth},
        {"swapDepths", swapDepths},
        {"setMask", setMask},
        {"beginFill", beginFill},
        {"lineStyle", lineStyle},
        {"moveTo", moveTo},
        {"lineTo", lineTo},
        {"curveTo", curveTo},
        {"endFill", endFill},
        {"clear", clear},
        {"getBounds", getBounds},
        {"getRect", getBounds},
        {"hitTest", returnsFalse},
        {"startDrag", nothing},
        {"stopDrag", nothing},
        {"getURL", nothing},
        {"loadMovie", nothing},
        {"localToGlobal", nothing},
        {"globalToLocal", nothing},
    };
    for (const auto& [name, function] : methods) {
        clipProto->properties[name] = Value::obj(vm.newNative(function));
    }
    textFieldProto->properties["removeTextField"] = Value::obj(vm.newNative(removeMovieClip));
    textFieldProto->properties["getDepth"] = Value::obj(vm.newNative(getDepth));
    textFieldProto->properties["swapDepths"] = Value::obj(vm.newNative(swapDepths));
    textFieldProto->properties["setTextFormat"] = Value::obj(vm.newNative(nothing));
    textFieldProto->properties["setNewTextFormat"] = Value::obj(vm.newNative(nothing));
}

}  // namespace flashgrab
