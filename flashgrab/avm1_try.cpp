// try, catch and finally: which block of a running try action comes next when the action list leaves one.
#include <algorithm>

#include "flashgrab/avm1_activation.h"

namespace flashgrab {

int Avm1::settleTry(std::vector<TryState>& handlers, int at, Activation& frame) {
    // Each pass stays in the innermost try's blocks, moves on to a later block of it, or is done with it,
    // so this ends; a block it moves to is checked like any other, as it may be empty.
    while (!handlers.empty()) {
        TryState& h = handlers.back();
        const TryCode& code = *h.code;
        using Part = TryState::Part;
        using Then = TryState::Then;
        auto enterFinally = [&](Then then) {
            h.part = Part::Finally;
            h.then = then;
            at = code.finallyAt;
        };
        if (throwing_) {
            if (h.part == Part::Try && code.hasCatch) {
                Value thrown = std::move(thrown_);
                throwing_ = false;
                thrown_ = Value{};
                stack_.resize(std::min(stack_.size(), h.stackBase));
                if (code.catchRegister >= 0) {
                    auto reg = static_cast<std::size_t>(code.catchRegister);
                    if (reg < frame.registers.size()) frame.registers[reg] = thrown;
                } else if (frame.scope && frame.scope->locals) {
                    frame.scope->locals->properties[code.catchName] = thrown;
                } else {
                    setVariable(frame, code.catchName, thrown);
                }
                h.part = Part::Catch;
                at = code.catchAt;
                continue;
            }
            if (h.part != Part::Finally && code.hasFinally) {
                h.pending = std::move(thrown_);
                throwing_ = false;
                thrown_ = Value{};
                stack_.resize(std::min(stack_.size(), h.stackBase));
                enterFinally(Then::Throw);
                continue;
            }
            handlers.pop_back();
            continue;
        }
        if (frame.returned) {
            if (h.part != Part::Finally && code.hasFinally) {
                h.pending = std::move(frame.result);
                frame.result = Value{};
                frame.returned = false;
                enterFinally(Then::Return);
                continue;
            }
            handlers.pop_back();
            continue;
        }
        int from = h.part == Part::Try ? h.tryAt : h.part == Part::Catch ? code.catchAt : code.finallyAt;
        int to = h.part == Part::Try ? code.catchAt : h.part == Part::Catch ? code.finallyAt : code.end;
        if (at >= from && at < to) return at;
        if (h.part != Part::Finally) {
            // Running off the try or catch block's end goes on past the whole try; a branch goes where it
            // leads, after the finally block.
            int next = at == to ? code.end : at;
            if (code.hasFinally) {
                h.resumeAt = next;
                enterFinally(Then::Continue);
                continue;
            }
            handlers.pop_back();
            at = next;
            continue;
        }
        // The finally block ran to its end and takes up what it put off; a branch out of it drops that.
        TryState done = std::move(h);
        handlers.pop_back();
        if (at != to) continue;
        switch (done.then) {
            case Then::Continue:
                at = done.resumeAt;
                break;
            case Then::Throw:
                throwing_ = true;
                thrown_ = std::move(done.pending);
                break;
            case Then::Return:
                frame.returned = true;
                frame.result = std::move(done.pending);
                break;
        }
    }
    return at;
}

}  // namespace flashgrab
