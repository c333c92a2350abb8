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
};

}  // namespace flashgrab
