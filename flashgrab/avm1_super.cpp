// super in functions: the parent class's constructor and methods, found from the class of the running
// function rather than from this, so that each class of a chain reaches its own parent.
#include "flashgrab/avm1_activation.h"

namespace flashgrab {
namespace {

// Prototype chains scripts build are checked this deep, as getMember does.
constexpr int kMaxChain = 64;
// Properties looked at to find where a method is held; classes hold far fewer, and a forged prototype
// of millions of properties must not make every call that uses super that slow.
constexpr std::size_t kMaxHolderSearch = 4096;

// The prototype in this's chain that holds the running function: where a method was found, directly or
// through super. When none does (a function stored on the object itself, or not at all), the object
// itself, so super begins at its prototype.
Object* holderOf(const Value& self, const Object* callee) {
    if (!self.isObject()) return nullptr;
    int depth = 0;
    std::size_t looked = 0;
    for (Object* p = self.object->proto; p && depth < kMaxChain; p = p->proto, ++depth) {
        for (const auto& [name, value] : p->properties) {
            if (value.type == Value::Type::Object && value.object == callee) return p;
            if (++looked >= kMaxHolderSearch) return self.object;
        }
    }
    return self.object;
}

}  // namespace

Value Avm1::superOf(Activation& frame) {
    if (!frame.callee) return Value{};
    if (frame.super.isObject()) return frame.super;
    Object* holder = frame.holder ? frame.holder : holderOf(frame.self, frame.callee);
    if (!holder) return Value{};
    Object* super = newObject(holder->proto);
    if (!super) return Value{};
    super->kind = ObjectKind::Super;
    super->target = frame.self;
    // extends leaves the parent constructor on the prototype it makes; a prototype made as an instance
    // of the parent (B.prototype = new C()) finds it as its own prototype's constructor.
    auto own = holder->properties.find("__constructor__");
    super->properties["__constructor__"] =
        own != holder->properties.end() ? own->second : getMember(Value::obj(holder->proto), "constructor");
    frame.super = Value::obj(super);
    return frame.super;
}

Value Avm1::callSuper(Object* super, const std::vector<Value>& args) {
    auto found = super->properties.find("__constructor__");
    if (found == super->properties.end() || !found->second.isObject()) return Value{};
    Object* constructor = found->second.object;
    if (constructor->kind != ObjectKind::Function) return Value{};
    // The parent constructor's own super begins at its class's prototype.
    Value proto = getMember(found->second, "prototype");
    return runFunction(constructor, super->target, args, proto.isObject() ? proto.object : super->proto);
}

}  // namespace flashgrab
