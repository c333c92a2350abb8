#pragma once

#include <memory>
#include <vector>

#include "flashgrab/avm1.h"

namespace flashgrab {

// The state of one running block: timeline code or a function call.
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
    // super: the function running (null in timeline code, and where defineFunction2 suppresses super);
    // the prototype it belongs to, known for constructors and looked up for methods on first use; and
    // the super object once made.
    Object* callee = nullptr;
    Object* holder = nullptr;
    Value super;
};

// A try action whose blocks are running in one action list.
struct Avm1::TryState {
    const TryCode* code = nullptr;
    int tryAt = 0;  // the first action of the try block
    enum class Part : std::uint8_t { Try, Catch, Finally } part = Part::Try;
    // What the finally block put off, taken up again when it runs to its end.
    enum class Then : std::uint8_t { Continue, Throw, Return } then = Then::Continue;
    int resumeAt = 0;           // Continue: where the try or catch block was leaving for
    Value pending;              // Throw: the value thrown; Return: the value returned
    std::size_t stackBase = 0;  // the stack's size when the try began: a caught throw drops what it left
};

}  // namespace flashgrab
