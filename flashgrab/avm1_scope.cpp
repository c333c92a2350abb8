// Variables, members and calls: how names resolve through scopes, targets, clips and prototypes.
#include <algorithm>
#include <cctype>
#include <map>

#include "flashgrab/avm1_activation.h"
#include "flashgrab/display_list.h"

namespace flashgrab {
namespace {

bool hasPathSyntax(std::string_view name) {
    return name.find_first_of("/:.") != std::string_view::npos;
}

bool sameCaseless(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// A property by name; movies before SWF 7 name things without regard to case, so there a name that
// differs only in case is found too (the exact spelling first).
using Properties = std::map<std::string, Value, std::less<>>;
Properties::iterator findProperty(Properties& properties, std::string_view name, bool caseless) {
    auto found = properties.find(name);
    if (found != properties.end() || !caseless) return found;
    for (auto it = properties.begin(); it != properties.end(); ++it)
        if (sameCaseless(it->first, name)) return it;
    return properties.end();
}

}  // namespace

Value Avm1::pop() {
    if (stack_.empty()) return Value{};
    Value v = std::move(stack_.back());
    stack_.pop_back();
    return v;
}

Value Avm1::call(const Value& function, const Value& self, const std::vector<Value>& args) {
    if (!function.isObject()) return Value{};
    if (function.object->kind == ObjectKind::Super) return callSuper(function.object, args);
    if (function.object->kind != ObjectKind::Function) return Value{};
    return runFunction(function.object, self, args, nullptr);
}

Value Avm1::runFunction(Object* function, const Value& self, const std::vector<Value>& args, Object* holder) {
    // While a throw unwinds to its try, nothing new runs.
    if (throwing_) return Value{};
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
    frame.callee = function;
    frame.holder = holder;
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
        preload(0x10, (code.flags & 0x10) ? superOf(frame) : Value{});
        if (code.flags & 0x20) frame.callee = nullptr;  // no super variable
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
    if (name == "super") return superOf(frame);
    if (name == "_root" || name == "_level0") return Value::obj(root());
    if (name == "_global") return Value::obj(global_);
    for (auto it = frame.with.rbegin(); it != frame.with.rend(); ++it) {
        Value v = getMember(Value::obj(*it), name);
        if (!v.isUndefined()) return v;
    }
    for (Scope* scope = frame.scope.get(); scope; scope = scope->parent.get()) {
        if (!scope->locals) continue;
        auto found = findProperty(scope->locals->properties, name, swfVersion() < 7);
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
        auto found = findProperty(scope->locals->properties, name, swfVersion() < 7);
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
    // Numbers and booleans find their methods on their class's prototype.
    if (object.type == Value::Type::Number || object.type == Value::Type::Boolean) {
        Value type = getMember(Value::obj(global_), object.type == Value::Type::Number ? "Number" : "Boolean");
        return getMember(getMember(type, "prototype"), name);
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
        auto found = findProperty(p->properties, name, swfVersion() < 7);
        if (found != p->properties.end()) return found->second;
    }
    // Children come after variables and methods: finding them walks the display list's depths.
    if ((o->kind == ObjectKind::Clip || o->kind == ObjectKind::TextField) && o->instance)
        return childNamed(*o->instance, name);
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
    auto found = findProperty(o->properties, name, swfVersion() < 7);
    if (found != o->properties.end())
        found->second = value;
    else
        o->properties.emplace(name, value);
}

}  // namespace flashgrab
