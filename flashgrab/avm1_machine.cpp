// The stack machine: runs decoded action blocks, with variables, scopes, functions and the queue.
#include <algorithm>
#include <cmath>

#include "flashgrab/avm1.h"
#include "flashgrab/display_list.h"

namespace flashgrab {

struct Avm1::Activation {
    Object* target = nullptr;      // the clip timeline actions act on (setTarget changes it)
    Object* home = nullptr;        // the clip the code belongs to
    Value self;                    // this
    std::shared_ptr<Scope> scope;  // function locals, innermost first; null in timeline code
    std::vector<Value> registers;
    const std::vector<SharedString>* pool = nullptr;
    std::vector<Object*> with;
    Value result;
    bool returned = false;
};

namespace {

bool hasPathSyntax(std::string_view name) {
    return name.find_first_of("/:.") != std::string_view::npos;
}

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

Avm1::Avm1(Player& player, const Movie& movie) : player_(player), movie_(movie) {
    installGlobals();
}

Avm1::~Avm1() = default;

double Avm1::movieTime() const {
    return std::floor(static_cast<double>(ticks_) * 1000.0 / std::max(movie_.file.frameRate, 1.0));
}

Object* Avm1::newObject(Object* proto) {
    if (heap_.size() >= kMaxObjects || !allocate(sizeof(Object) + 64)) return nullptr;
    heap_.push_back(std::make_unique<Object>());
    heap_.back()->proto = proto;
    return heap_.back().get();
}

Value Avm1::join(const std::string& a, const std::string& b) {
    if (!allocate(a.size() + b.size())) return Value::str(std::string());
    return Value::str(a + b);
}

bool Avm1::resizeElements(Object* array, std::size_t size) {
    if (size >= kMaxObjects) return false;
    if (size > array->elements.size() && !allocate((size - array->elements.size()) * sizeof(Value))) return false;
    array->elements.resize(size);
    return true;
}

Object* Avm1::newArray() {
    Object* array = newObject(arrayProto_);
    if (array) array->kind = ObjectKind::Array;
    return array;
}

Object* Avm1::newNative(NativeFunction function) {
    Object* f = newObject(functionProto_);
    if (!f) return nullptr;
    f->kind = ObjectKind::Function;
    f->native = function;
    return f;
}

Object* Avm1::objectOf(Instance& instance) {
    if (instance.link.object) return instance.link.object;
    // Clips are bounded by the display list's own limits, so they are made even past the object cap.
    heap_.push_back(std::make_unique<Object>());
    Object* object = heap_.back().get();
    bool isText = instance.text != nullptr;
    if (!isText && instance.characterId >= 0) {
        auto found = movie_.characters.find(instance.characterId);
        isText = found != movie_.characters.end() && std::holds_alternative<EditTextCharacter>(found->second);
    }
    object->kind = isText ? ObjectKind::TextField : ObjectKind::Clip;
    object->proto = isText ? textFieldProto_ : clipProto_;
    auto registered = classes_.find(instance.characterId);
    if (registered != classes_.end()) {
        Value proto = getMember(registered->second, "prototype");
        if (proto.isObject()) object->proto = proto.object;
    }
    object->instance = &instance;
    instance.link.object = object;
    return object;
}

void Avm1::registerClass(const std::string& linkage, const Value& constructor) {
    auto found = movie_.exports.find(linkage);
    if (found == movie_.exports.end()) return;
    if (constructor.isObject())
        classes_[found->second] = constructor;
    else
        classes_.erase(found->second);
}

void Avm1::constructClip(Object* clip) {
    if (!clip || !clip->instance) return;
    auto registered = classes_.find(clip->instance->characterId);
    if (registered != classes_.end()) call(registered->second, Value::obj(clip), {});
}

Object* Avm1::root() {
    return objectOf(player_.rootInstance());
}

void Avm1::queueActions(Instance& clip, const ActionBlock* block, std::size_t at) {
    if (!block || block->actions.empty()) return;
    Queued entry{objectOf(clip), block, 0};
    if (at == npos || at >= queue_.size())
        queue_.push_back(entry);
    else
        queue_.insert(queue_.begin() + static_cast<std::ptrdiff_t>(at), entry);
}

void Avm1::queueEvent(Instance& clip, std::uint32_t event, std::size_t at) {
    bool wanted = false;
    if (clip.clipActions)
        for (const ClipAction& action : *clip.clipActions) wanted = wanted || (action.events & event);
    if (!wanted && clip.link.object && event == kEventEnterFrame) {
        auto found = clip.link.object->properties.find("onEnterFrame");
        wanted = found != clip.link.object->properties.end() && found->second.isObject();
    }
    if (!wanted && clip.link.object && event == kEventLoad) wanted = true;
    if (!wanted) return;
    Queued entry{objectOf(clip), nullptr, event};
    if (at == npos || at >= queue_.size())
        queue_.push_back(entry);
    else
        queue_.insert(queue_.begin() + static_cast<std::ptrdiff_t>(at), entry);
}

void Avm1::queueInitActions(int spriteId, const ActionBlock* block) {
    if (!block || !initDone_.insert(spriteId).second) return;
    // Initialisation runs ahead of the frame's other actions.
    queue_.insert(queue_.begin(), Queued{root(), block, 0});
}

void Avm1::runQueue() {
    for (std::size_t i = 0; i < queue_.size() && steps_ <= kMaxActionsPerTick; ++i) {
        Queued entry = queue_[i];
        if (!entry.clip || !entry.clip->instance) continue;  // the clip left the display list
        if (entry.event) {
            runEvent(entry.clip, entry.event);
            continue;
        }
        Activation frame;
        frame.target = frame.home = entry.clip;
        frame.self = Value::obj(entry.clip);
        frame.registers.resize(4);
        run(*entry.block, frame);
        stack_.clear();
    }
    queue_.clear();
}

void Avm1::runEvent(Object* clip, std::uint32_t event) {
    Instance* instance = clip->instance;
    if (instance->clipActions) {
        // The handlers are shared with the display command, so they outlive the instance if it goes.
        auto actions = instance->clipActions;
        for (const ClipAction& action : *actions) {
            if (!(action.events & event) || !action.block || !clip->instance) continue;
            Activation frame;
            frame.target = frame.home = clip;
            frame.self = Value::obj(clip);
            frame.registers.resize(4);
            run(*action.block, frame);
            stack_.clear();
        }
    }
    const char* handler = event == kEventEnterFrame ? "onEnterFrame" : event == kEventLoad ? "onLoad" : nullptr;
    if (!handler || !clip->instance) return;
    auto found = clip->properties.find(handler);
    if (found != clip->properties.end() && found->second.isObject()) {
        Value function = found->second;
        call(function, Value::obj(clip), {});
        stack_.clear();
    }
}

Value Avm1::pop() {
    if (stack_.empty()) return Value{};
    Value v = std::move(stack_.back());
    stack_.pop_back();
    return v;
}

Value Avm1::call(const Value& function, const Value& self, const std::vector<Value>& args) {
    if (!function.isObject() || function.object->kind != ObjectKind::Function) return Value{};
    return runFunction(function.object, self, args, nullptr);
}

Value Avm1::runFunction(Object* function, const Value& self, const std::vector<Value>& args, Object*) {
    if (function->native) return function->native(*this, self, args);
    if (!function->code || !function->code->body || callDepth_ >= kMaxCallDepth) return Value{};
    const FunctionCode& code = *function->code;
    Object* locals = newObject(nullptr);
    if (!locals) return Value{};
    Activation frame;
    frame.home = function->definedOn && function->definedOn->instance ? function->definedOn : root();
    frame.target = frame.home;
    frame.self = self;
    frame.scope = std::make_shared<Scope>(Scope{function->scope, locals});
    frame.pool = function->pool;
    Object* arguments = newArray();
    if (arguments) arguments->elements = args;
    if (code.version2) {
        frame.registers.resize(static_cast<std::size_t>(std::max(code.registerCount, 1)));
        std::size_t next = 1;
        auto preload = [&](int flag, const Value& v) {
            if ((code.flags & flag) && next < frame.registers.size()) frame.registers[next++] = v;
        };
        preload(0x01, self);
        preload(0x04, Value::obj(arguments));
        preload(0x10, Value{});
        preload(0x40, Value::obj(root()));
        Value parent;
        if (frame.home->instance && frame.home->instance->parent)
            parent = Value::obj(objectOf(*frame.home->instance->parent));
        preload(0x80, parent);
        preload(0x100, Value::obj(global_));
        if (!(code.flags & 0x02)) locals->properties["this"] = self;
        if (!(code.flags & 0x08)) locals->properties["arguments"] = Value::obj(arguments);
    } else {
        frame.registers.resize(4);
        locals->properties["this"] = self;
        locals->properties["arguments"] = Value::obj(arguments);
    }
    for (std::size_t i = 0; i < code.parameters.size(); ++i) {
        Value v = i < args.size() ? args[i] : Value{};
        int reg = i < code.parameterRegisters.size() ? code.parameterRegisters[i] : 0;
        if (reg > 0 && static_cast<std::size_t>(reg) < frame.registers.size())
            frame.registers[static_cast<std::size_t>(reg)] = v;
        else
            locals->properties[code.parameters[i]] = v;
    }
    std::size_t base = stack_.size();
    ++callDepth_;
    run(*code.body, frame);
    --callDepth_;
    stack_.resize(std::min(base, stack_.size()));
    return frame.result;
}

Value Avm1::getVariable(Activation& frame, std::string_view name) {
    if (hasPathSyntax(name)) {
        auto colon = name.rfind(':');
        if (colon != std::string_view::npos) {
            Object* target = resolveTarget(name.substr(0, colon), frame.target ? frame.target : frame.home);
            return target ? getMember(Value::obj(target), name.substr(colon + 1)) : Value{};
        }
        if (name.find('/') != std::string_view::npos)
            return Value::obj(resolveTarget(name, frame.target ? frame.target : frame.home));
        // "a.b.c": the first name as a variable, then members one by one (no recursion on long paths).
        auto dot = name.find('.');
        if (dot > 0 && dot + 1 < name.size()) {
            Value v = getVariable(frame, name.substr(0, dot));
            while (dot != std::string_view::npos && !v.isUndefined()) {
                auto next = name.find('.', dot + 1);
                v = getMember(v, name.substr(dot + 1, next == std::string_view::npos ? next : next - dot - 1));
                dot = next;
            }
            return v;
        }
    }
    if (name == "this") return frame.self;
    if (name == "_root" || name == "_level0") return Value::obj(root());
    if (name == "_global") return Value::obj(global_);
    for (auto it = frame.with.rbegin(); it != frame.with.rend(); ++it) {
        Value v = getMember(Value::obj(*it), name);
        if (!v.isUndefined()) return v;
    }
    for (Scope* scope = frame.scope.get(); scope; scope = scope->parent.get()) {
        if (!scope->locals) continue;
        auto found = scope->locals->properties.find(name);
        if (found != scope->locals->properties.end()) return found->second;
    }
    Object* target = frame.target ? frame.target : frame.home;
    if (target) {
        Value v = getMember(Value::obj(target), name);
        if (!v.isUndefined()) return v;
    }
    return getMember(Value::obj(global_), name);
}

void Avm1::setVariable(Activation& frame, std::string_view name, const Value& value) {
    if (hasPathSyntax(name)) {
        auto split = name.find_last_of(":.");
        if (split != std::string_view::npos && split > 0) {
            std::string_view path = name.substr(0, split);
            Object* target = nullptr;
            if (path.find('/') != std::string_view::npos || name[split] == ':') {
                target = resolveTarget(path, frame.target ? frame.target : frame.home);
            } else {
                Value owner = getVariable(frame, path);
                target = owner.isObject() ? owner.object : nullptr;
            }
            if (target) setMember(Value::obj(target), std::string(name.substr(split + 1)), value);
            return;
        }
    }
    for (Scope* scope = frame.scope.get(); scope; scope = scope->parent.get()) {
        if (!scope->locals) continue;
        auto found = scope->locals->properties.find(name);
        if (found != scope->locals->properties.end()) {
            found->second = value;
            return;
        }
    }
    Object* target = frame.target ? frame.target : frame.home;
    if (target) setMember(Value::obj(target), std::string(name), value);
}

Value Avm1::getMember(const Value& object, std::string_view name) {
    if (object.type == Value::Type::String) {
        if (name == "length") return Value::num(static_cast<double>(object.text->size()));
        return stringProto_ ? getMember(Value::obj(stringProto_), name) : Value{};
    }
    if (!object.isObject()) return Value{};
    Object* o = object.object;
    if ((o->kind == ObjectKind::Clip || o->kind == ObjectKind::TextField) && o->instance) {
        bool found = false;
        Value v = clipProperty(*o->instance, o, name, found);
        if (found) return v;
    }
    if (o->kind == ObjectKind::Transform && (name == "matrix" || name == "colorTransform"))
        return transformMember(o, name);
    if (o->kind == ObjectKind::Array) {
        if (name == "length") return Value::num(static_cast<double>(o->elements.size()));
        if (!name.empty() && name[0] >= '0' && name[0] <= '9') {
            std::size_t index = 0;
            for (char c : name)
                index = (c >= '0' && c <= '9' && index < kMaxObjects) ? index * 10 + (c - '0') : kMaxObjects;
            return index < o->elements.size() ? o->elements[index] : Value{};
        }
    }
    if (name == "__proto__") return Value::obj(o->proto);
    int depth = 0;
    for (Object* p = o; p && depth < 64; p = p->proto, ++depth) {
        auto found = p->properties.find(name);
        if (found != p->properties.end()) return found->second;
    }
    return Value{};
}

void Avm1::setMember(const Value& object, const std::string& name, const Value& value) {
    if (!object.isObject()) return;
    Object* o = object.object;
    if ((o->kind == ObjectKind::Clip || o->kind == ObjectKind::TextField) && o->instance &&
        setClipProperty(*o->instance, name, value))
        return;
    if (o->kind == ObjectKind::Transform && setTransformMember(o, name, value)) return;
    if (o->kind == ObjectKind::Array) {
        if (name == "length") {
            double n = toNumber(value);
            if (n >= 0 && n < static_cast<double>(kMaxObjects)) resizeElements(o, static_cast<std::size_t>(n));
            return;
        }
        if (!name.empty() && name[0] >= '0' && name[0] <= '9') {
            std::size_t index = 0;
            for (char c : name)
                index = (c >= '0' && c <= '9' && index < kMaxObjects) ? index * 10 + (c - '0') : kMaxObjects;
            if (index < kMaxObjects) {
                if (index >= o->elements.size() && !resizeElements(o, index + 1)) return;
                o->elements[index] = value;
                return;
            }
        }
    }
    if (name == "__proto__") {
        o->proto = value.isObject() && value.object != o ? value.object : nullptr;
        return;
    }
    o->properties[name] = value;
}

void Avm1::run(const ActionBlock& block, Activation& frame) {
    const auto& actions = block.actions;
    const int count = static_cast<int>(actions.size());
    std::vector<Value> args;
    for (int i = 0; i < count && !frame.returned;) {
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
            case 0x24:  // cloneSprite: depth, target, source
                pop();
                pop();
                pop();
                break;
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
            case 0x2a:  // throw: without try support the script ends here
                stack_.clear();
                frame.returned = true;
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
                if (name.isUndefined() || method.empty())
                    stack_.push_back(call(object, Value{}, args));
                else
                    stack_.push_back(call(getMember(object, method), object, args));
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
