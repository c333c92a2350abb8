// The stack machine: runs a decoded action block, one action after another, within the tick's budget.
#include <algorithm>
#include <cmath>

#include "flashgrab/avm1_activation.h"
#include "flashgrab/display_list.h"

namespace flashgrab {
namespace {

const std::string& typeName(const Value& v) {
    static const std::string names[] = {"undefined", "null",   "boolean",   "number",
                                        "string",    "object", "movieclip", "function"};
    switch (v.type) {
        case Value::Type::Undefined:
            return names[0];
        case Value::Type::Null:
            return names[1];
        case Value::Type::Boolean:
            return names[2];
        case Value::Type::Number:
            return names[3];
        case Value::Type::String:
            return names[4];
        case Value::Type::Object:
            if (v.object->kind == ObjectKind::Clip) return names[6];
            if (v.object->kind == ObjectKind::Function) return names[7];
            return names[5];
    }
    return names[0];
}

// ActionScript's < : strings compare by code units, everything else as numbers; NaN gives undefined.
Value lessThan(const Value& a, const Value& b) {
    if (a.type == Value::Type::String && b.type == Value::Type::String) return Value::boolean(*a.text < *b.text);
    double x = toNumber(a), y = toNumber(b);
    if (std::isnan(x) || std::isnan(y)) return Value{};
    return Value::boolean(x < y);
}

// getProperty's and setProperty's index; -1 for what names no property (NaN included).
int propertyIndex(double n) {
    return n >= 0 && n < 64 ? static_cast<int>(n) : -1;
}

// The primitive an operand of + becomes; objects take their string form.
Value primitive(const Value& v) {
    if (v.type == Value::Type::Object) return Value::str(toString(v));
    return v;
}

}  // namespace

void Avm1::run(const ActionBlock& block, Activation& frame) {
    const auto& actions = block.actions;
    const int count = static_cast<int>(actions.size());
    std::vector<Value> args;
    // The try actions whose blocks are running, innermost last.
    std::vector<TryState> handlers;
    for (int i = 0;;) {
        if (!handlers.empty()) i = settleTry(handlers, i, frame);
        // A throw that no try here catches leaves the list, for the caller's tries to catch.
        if (i >= count || frame.returned || throwing_) break;
        if (++steps_ > kMaxActionsPerTick) return;
        if (stack_.size() > kMaxStack) stack_.erase(stack_.begin(), stack_.begin() + kMaxStack / 2);
        const Action& action = actions[static_cast<std::size_t>(i)];
        ++i;
        auto popArgs = [&]() {
            double n = toNumber(pop());
            std::size_t wanted = n > 0 && n < 1e6 ? static_cast<std::size_t>(n) : 0;
            args.clear();
            for (std::size_t k = 0; k < wanted && !stack_.empty(); ++k) args.push_back(pop());
        };
        Object* target = frame.target;
        TimelineState* timeline = target && target->instance ? target->instance->timeline.get() : nullptr;
        switch (action.code) {
            case 0x04:  // nextFrame
                if (timeline) player_.gotoFrame(*timeline, timeline->current + 1);
                break;
            case 0x05:  // prevFrame
                if (timeline) player_.gotoFrame(*timeline, timeline->current - 1);
                break;
            case 0x06:  // play
                if (timeline) timeline->stopped = false;
                break;
            case 0x07:  // stop
                if (timeline) timeline->stopped = true;
                break;
            case 0x0a:
            case 0x0b:
            case 0x0c:
            case 0x0d:
            case 0x3f: {  // add, subtract, multiply, divide, modulo (numbers)
                double a = toNumber(pop()), b = toNumber(pop());
                double r = action.code == 0x0a   ? b + a
                           : action.code == 0x0b ? b - a
                           : action.code == 0x0c ? b * a
                           : action.code == 0x0d ? b / a
                                                 : std::fmod(b, a);
                stack_.push_back(Value::num(r));
                break;
            }
            case 0x0e: {  // equals (numbers)
                double a = toNumber(pop()), b = toNumber(pop());
                stack_.push_back(Value::boolean(a == b));
                break;
            }
            case 0x0f: {  // less (numbers)
                double a = toNumber(pop()), b = toNumber(pop());
                stack_.push_back(Value::boolean(b < a));
                break;
            }
            case 0x10:
            case 0x11: {  // and, or
                bool a = toBoolean(pop(), swfVersion()), b = toBoolean(pop(), swfVersion());
                stack_.push_back(Value::boolean(action.code == 0x10 ? (a && b) : (a || b)));
                break;
            }
            case 0x12:  // not
                stack_.push_back(Value::boolean(!toBoolean(pop(), swfVersion())));
                break;
            case 0x13: {  // stringEquals
                std::string a = toString(pop()), b = toString(pop());
                stack_.push_back(Value::boolean(a == b));
                break;
            }
            case 0x14:
            case 0x31:  // stringLength, mbStringLength
                stack_.push_back(Value::num(static_cast<double>(toString(pop()).size())));
                break;
            case 0x15:
            case 0x35: {  // stringExtract, mbStringExtract: string, 1-based index, count
                double length = toNumber(pop()), index = toNumber(pop());
                std::string s = toString(pop());
                std::size_t from = index >= 1 && index <= static_cast<double>(s.size())
                                       ? static_cast<std::size_t>(index) - 1
                                       : s.size();
                std::size_t n =
                    length >= 0 && !std::isnan(length) ? static_cast<std::size_t>(std::min(length, 1e9)) : s.size();
                stack_.push_back(Value::str(s.substr(from, n)));
                break;
            }
            case 0x17:  // pop
                pop();
                break;
            case 0x18:  // toInteger
                stack_.push_back(Value::num(std::trunc(toNumber(pop()))));
                break;
            case 0x1c: {  // getVariable
                Value name = pop();
                stack_.push_back(getVariable(frame, toString(name)));
                break;
            }
            case 0x1d: {  // setVariable
                Value value = pop();
                setVariable(frame, toString(pop()), value);
                break;
            }
            case 0x20: {  // setTarget2
                Value t = pop();
                frame.target = t.isObject()          ? t.object
                               : toString(t).empty() ? frame.home
                                                     : resolveTarget(toString(t), frame.home);
                break;
            }
            case 0x21: {  // stringAdd
                std::string a = toString(pop());
                stack_.push_back(join(toString(pop()), a));
                break;
            }
            case 0x22: {  // getProperty
                int index = propertyIndex(toNumber(pop()));
                Object* clip = targetOf(pop(), frame.target ? frame.target : frame.home);
                stack_.push_back(clip ? getProperty(clip, index) : Value{});
                break;
            }
            case 0x23: {  // setProperty
                Value value = pop();
                int index = propertyIndex(toNumber(pop()));
                Object* clip = targetOf(pop(), frame.target ? frame.target : frame.home);
                if (clip) setProperty(clip, index, value);
                break;
            }
            case 0x24: {  // cloneSprite (duplicateMovieClip): depth, new name, source
                Value depth = pop();
                Value name = pop();
                Object* source = targetOf(pop(), frame.target ? frame.target : frame.home);
                if (source && source->kind == ObjectKind::Clip)
                    call(getMember(Value::obj(source), "duplicateMovieClip"), Value::obj(source), {name, depth});
                break;
            }
            case 0x25: {  // removeSprite
                Object* clip = targetOf(pop(), frame.target ? frame.target : frame.home);
                if (clip && clip->instance && clip->instance->placeFrame == 0) player_.removeClip(*clip->instance);
                break;
            }
            case 0x26: {  // trace
                std::string text = toString(pop());
                if (trace_) {
                    std::fputs(text.c_str(), trace_);
                    std::fputc('\n', trace_);
                }
                break;
            }
            case 0x27: {  // startDrag: target, lock, constrain [x1 y1 x2 y2]
                pop();
                pop();
                if (toBoolean(pop(), swfVersion()))
                    for (int k = 0; k < 4; ++k) pop();
                break;
            }
            case 0x2a:  // throw
                thrown_ = pop();
                throwing_ = true;
                break;
            case 0x2b: {  // castOp
                Value object = pop();
                pop();
                stack_.push_back(object);
                break;
            }
            case 0x2c:  // implementsOp
                pop();
                popArgs();
                break;
            case 0x30: {  // randomNumber: a fixed sequence, so a movie renders the same every time
                double max = toNumber(pop());
                double r = max >= 1 ? std::floor(nextRandom() % static_cast<std::uint32_t>(std::min(max, 1e9))) : 0;
                stack_.push_back(Value::num(r));
                break;
            }
            case 0x32:
            case 0x36: {  // charToAscii
                std::string s = toString(pop());
                stack_.push_back(s.empty() ? Value::num(std::nan("")) : Value::num(static_cast<unsigned char>(s[0])));
                break;
            }
            case 0x33:
            case 0x37: {  // asciiToChar
                int code = toInt32(toNumber(pop())) & 0xFF;
                stack_.push_back(Value::str(std::string(1, static_cast<char>(code))));
                break;
            }
            case 0x34:  // getTime: the movie's own clock, one frame interval per tick
                stack_.push_back(Value::num(movieTime()));
                break;
            case 0x3a: {  // delete
                std::string name = toString(pop());
                Value object = pop();
                if (object.isObject()) object.object->properties.erase(name);
                stack_.push_back(Value::boolean(true));
                break;
            }
            case 0x3b: {  // delete2
                std::string name = toString(pop());
                Object* owner = frame.target ? frame.target : frame.home;
                if (owner) owner->properties.erase(name);
                stack_.push_back(Value::boolean(true));
                break;
            }
            case 0x3c:
            case 0x41: {  // defineLocal, defineLocal2
                Value value = action.code == 0x3c ? pop() : Value{};
                std::string name = toString(pop());
                if (frame.scope && frame.scope->locals) {
                    auto& slot = frame.scope->locals->properties[name];
                    if (action.code == 0x3c) slot = value;
                } else if (action.code == 0x3c) {
                    setVariable(frame, name, value);
                }
                break;
            }
            case 0x3d: {  // callFunction
                std::string name = toString(pop());
                popArgs();
                Value function = getVariable(frame, name);
                // A function called by name runs with the timeline as this, as clip methods need.
                Object* self = frame.target ? frame.target : frame.home;
                stack_.push_back(call(function, Value::obj(self), args));
                break;
            }
            case 0x3e:  // return
                frame.result = pop();
                frame.returned = true;
                break;
            case 0x40:
            case 0x53: {  // newObject, newMethod
                Value constructor;
                if (action.code == 0x40) {
                    std::string name = toString(pop());
                    popArgs();
                    constructor = getVariable(frame, name);
                } else {
                    Value name = pop();
                    Value owner = pop();
                    popArgs();
                    std::string method = toString(name);
                    constructor = name.isUndefined() || method.empty() ? owner : getMember(owner, method);
                }
                stack_.push_back(construct(constructor, args));
                break;
            }
            case 0x42: {  // initArray
                popArgs();
                Object* array = newArray();
                if (array) array->elements = args;
                stack_.push_back(Value::obj(array));
                break;
            }
            case 0x43: {  // initObject
                double n = toNumber(pop());
                Object* object = newObject(objectProto_);
                for (double k = 0; k < n && !stack_.empty() && k < 1e6; ++k) {
                    Value value = pop();
                    std::string name = toString(pop());
                    if (object) object->properties[name] = value;
                }
                stack_.push_back(Value::obj(object));
                break;
            }
            case 0x44:  // typeOf
                stack_.push_back(Value::str(typeName(pop())));
                break;
            case 0x45: {  // targetPath
                Value v = pop();
                stack_.push_back(v.isObject() && v.object->kind == ObjectKind::Clip ? Value::str(clipPath(v.object))
                                                                                    : Value{});
                break;
            }
            case 0x46:
            case 0x55: {  // enumerate, enumerate2
                Value object = action.code == 0x46 ? getVariable(frame, toString(pop())) : pop();
                stack_.push_back(Value::null());
                if (!object.isObject()) break;
                Object* o = object.object;
                if (o->kind == ObjectKind::Array)
                    for (std::size_t k = 0; k < o->elements.size(); ++k)
                        stack_.push_back(Value::str(std::to_string(k)));
                for (auto& [name, value] : o->properties) stack_.push_back(Value::str(name));
                break;
            }
            case 0x47: {  // add2
                Value a = primitive(pop()), b = primitive(pop());
                if (a.type == Value::Type::String || b.type == Value::Type::String)
                    stack_.push_back(join(toString(b), toString(a)));
                else
                    stack_.push_back(Value::num(toNumber(b) + toNumber(a)));
                break;
            }
            case 0x48: {  // less2
                Value a = pop(), b = pop();
                stack_.push_back(lessThan(b, a));
                break;
            }
            case 0x67: {  // greater
                Value a = pop(), b = pop();
                stack_.push_back(lessThan(a, b));
                break;
            }
            case 0x29:
            case 0x68: {  // stringLess, stringGreater
                std::string a = toString(pop()), b = toString(pop());
                stack_.push_back(Value::boolean(action.code == 0x29 ? b < a : b > a));
                break;
            }
            case 0x49: {  // equals2
                Value a = pop(), b = pop();
                stack_.push_back(Value::boolean(looselyEqual(a, b)));
                break;
            }
            case 0x66: {  // strictEquals
                Value a = pop(), b = pop();
                stack_.push_back(Value::boolean(strictlyEqual(a, b)));
                break;
            }
            case 0x4a:  // toNumber
                stack_.push_back(Value::num(toNumber(pop())));
                break;
            case 0x4b:  // toString
                stack_.push_back(Value::str(toString(pop())));
                break;
            case 0x4c:  // pushDuplicate
                stack_.push_back(stack_.empty() ? Value{} : stack_.back());
                break;
            case 0x4d:  // stackSwap
                if (stack_.size() >= 2) std::swap(stack_[stack_.size() - 1], stack_[stack_.size() - 2]);
                break;
            case 0x4e: {  // getMember
                std::string name = toString(pop());
                Value object = pop();
                stack_.push_back(getMember(object, name));
                break;
            }
            case 0x4f: {  // setMember
                Value value = pop();
                std::string name = toString(pop());
                Value object = pop();
                setMember(object, name, value);
                break;
            }
            case 0x50:
            case 0x51:  // increment, decrement
                stack_.push_back(Value::num(toNumber(pop()) + (action.code == 0x50 ? 1 : -1)));
                break;
            case 0x52: {  // callMethod
                Value name = pop();
                Value object = pop();
                popArgs();
                std::string method = toString(name);
                if (name.isUndefined() || method.empty()) {
                    stack_.push_back(call(object, Value{}, args));
                    break;
                }
                // super.method(): the parent prototype's method, run on this.
                Value self =
                    object.isObject() && object.object->kind == ObjectKind::Super ? object.object->target : object;
                stack_.push_back(call(getMember(object, method), self, args));
                break;
            }
            case 0x54: {  // instanceOf
                Value constructor = pop();
                Value object = pop();
                Value proto = getMember(constructor, "prototype");
                bool is = false;
                if (object.isObject() && proto.isObject()) {
                    int depth = 0;
                    for (Object* p = object.object->proto; p && depth < 64; p = p->proto, ++depth)
                        is = is || p == proto.object;
                }
                stack_.push_back(Value::boolean(is));
                break;
            }
            case 0x60:
            case 0x61:
            case 0x62:
            case 0x63:
            case 0x64:
            case 0x65: {  // bitAnd, bitOr, bitXor, bitLShift, bitRShift, bitURShift
                std::int32_t a = toInt32(toNumber(pop())), b = toInt32(toNumber(pop()));
                double r = 0;
                switch (action.code) {
                    case 0x60:
                        r = b & a;
                        break;
                    case 0x61:
                        r = b | a;
                        break;
                    case 0x62:
                        r = b ^ a;
                        break;
                    case 0x63:
                        r = static_cast<std::int32_t>(static_cast<std::uint32_t>(b) << (a & 31));
                        break;
                    case 0x64:
                        r = b >> (a & 31);
                        break;
                    default:
                        r = static_cast<std::uint32_t>(b) >> (a & 31);
                        break;
                }
                stack_.push_back(Value::num(r));
                break;
            }
            case 0x69: {  // extends
                Value super = pop();
                Value sub = pop();
                Value superProto = getMember(super, "prototype");
                Object* proto = newObject(superProto.isObject() ? superProto.object : objectProto_);
                if (proto && sub.isObject()) {
                    proto->properties["__constructor__"] = super;
                    sub.object->properties["prototype"] = Value::obj(proto);
                }
                break;
            }
            case 0x81:  // gotoFrame
                if (timeline) player_.gotoFrame(*timeline, action.number + 1);
                break;
            case 0x87:  // storeRegister
                if (action.number >= 0 && static_cast<std::size_t>(action.number) < frame.registers.size())
                    frame.registers[static_cast<std::size_t>(action.number)] = stack_.empty() ? Value{} : stack_.back();
                break;
            case 0x88:  // constantPool
                frame.pool = &action.pool;
                break;
            case 0x8f:  // try: its blocks follow; settleTry moves between them
                if (!action.handler) break;
                if (handlers.size() >= kMaxTryNesting) {
                    thrown_ = Value{};
                    throwing_ = true;
                    break;
                }
                handlers.push_back(TryState{action.handler.get(), i, TryState::Part::Try, TryState::Then::Continue, 0,
                                            Value{}, stack_.size()});
                break;
            case 0x8b:  // setTarget
                frame.target = action.text.empty() ? frame.home : resolveTarget(action.text, frame.home);
                break;
            case 0x8c:  // gotoLabel
                if (target) gotoFrame(target, Value::str(action.text), GotoMode::Keep, 0);
                break;
            case 0x8d:  // waitForFrame2: every frame is loaded
                pop();
                break;
            case 0x94: {  // with
                Value object = pop();
                if (action.body && object.isObject() && frame.with.size() < 16) {
                    frame.with.push_back(object.object);
                    run(*action.body, frame);
                    frame.with.pop_back();
                }
                break;
            }
            case 0x96:  // push
                for (const PushItem& item : action.push) {
                    switch (item.kind) {
                        case PushItem::Kind::String:
                            stack_.push_back(Value::str(item.text));
                            break;
                        case PushItem::Kind::Number:
                            stack_.push_back(Value::num(item.number));
                            break;
                        case PushItem::Kind::Null:
                            stack_.push_back(Value::null());
                            break;
                        case PushItem::Kind::Undefined:
                            stack_.push_back(Value{});
                            break;
                        case PushItem::Kind::Boolean:
                            stack_.push_back(Value::boolean(item.number != 0));
                            break;
                        case PushItem::Kind::Register: {
                            auto reg = static_cast<std::size_t>(item.number);
                            stack_.push_back(reg < frame.registers.size() ? frame.registers[reg] : Value{});
                            break;
                        }
                        case PushItem::Kind::Constant: {
                            auto index = static_cast<std::size_t>(item.number);
                            if (frame.pool && index < frame.pool->size())
                                stack_.push_back(Value::str((*frame.pool)[index]));
                            else
                                stack_.push_back(Value{});
                            break;
                        }
                    }
                }
                break;
            case 0x99:  // jump
                i = action.target >= 0 ? action.target : count;
                break;
            case 0x9d:  // if
                if (toBoolean(pop(), swfVersion())) i = action.target >= 0 ? action.target : count;
                break;
            case 0x9a:  // getURL2
                pop();
                pop();
                break;
            case 0x9b:
            case 0x8e: {  // defineFunction, defineFunction2
                Object* function = newObject(functionProto_);
                if (!function) break;
                function->kind = ObjectKind::Function;
                function->code = action.function;
                function->scope = frame.scope;
                function->definedOn = frame.home;
                function->pool = frame.pool;
                Object* prototype = newObject(objectProto_);
                if (prototype) {
                    prototype->properties["constructor"] = Value::obj(function);
                    function->properties["prototype"] = Value::obj(prototype);
                }
                if (action.function->name.empty()) {
                    stack_.push_back(Value::obj(function));
                } else if (frame.scope && frame.scope->locals) {
                    frame.scope->locals->properties[action.function->name] = Value::obj(function);
                } else {
                    setVariable(frame, action.function->name, Value::obj(function));
                }
                break;
            }
            case 0x9e: {  // call: runs another frame's actions now
                Value frameValue = pop();
                if (!timeline) break;
                int number = frameNumber(timeline, frameValue);
                if (number >= 1 && number <= static_cast<int>(timeline->timeline->frames.size()) &&
                    callDepth_ < kMaxCallDepth) {
                    ++callDepth_;
                    for (const FrameAction& fa :
                         timeline->timeline->frames[static_cast<std::size_t>(number - 1)].actions) {
                        if (fa.initSprite >= 0 || !fa.block) continue;
                        Activation inner;
                        inner.target = inner.home = target;
                        inner.self = Value::obj(target);
                        inner.registers.resize(4);
                        run(*fa.block, inner);
                        // The called frame's script is a script of its own: what it throws ends only it.
                        throwing_ = false;
                        thrown_ = Value{};
                    }
                    --callDepth_;
                }
                break;
            }
            case 0x9f: {  // gotoFrame2
                Value frameValue = pop();
                if (target)
                    gotoFrame(target, frameValue, (action.number & 0x01) ? GotoMode::Play : GotoMode::Stop,
                              action.extra);
                break;
            }
            default:
                // Unknown or unsupported actions are skipped.
                break;
        }
    }
}

}  // namespace flashgrab
