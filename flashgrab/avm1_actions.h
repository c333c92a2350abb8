#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace flashgrab {

// Strings are shared, so pushing a constant or copying a value never allocates.
using SharedString = std::shared_ptr<const std::string>;

// One value of a Push action, kept as written; constants resolve against the pool in force when it runs.
struct PushItem {
    enum class Kind : std::uint8_t { String, Number, Null, Undefined, Register, Boolean, Constant };
    Kind kind = Kind::Undefined;
    double number = 0;  // Number, Boolean (0 or 1), Register and Constant (the index)
    SharedString text;
};

struct ActionBlock;

// What defineFunction and defineFunction2 describe; the body is its own block.
struct FunctionCode {
    std::string name;
    std::vector<std::string> parameters;
    std::vector<int> parameterRegisters;  // defineFunction2: the register of each parameter, 0 for none
    int registerCount = 0;
    int flags = 0;  // defineFunction2's preload and suppress flags
    bool version2 = false;
    std::shared_ptr<const ActionBlock> body;
};

// What a try action describes. Its try, catch and finally blocks follow it in the same block: the try
// block runs up to catchAt, the catch block up to finallyAt, the finally block up to end (action indices,
// in that order, never before the try action's successor).
struct TryCode {
    int catchAt = 0, finallyAt = 0, end = 0;
    bool hasCatch = false, hasFinally = false;
    int catchRegister = -1;  // where the catch block finds what was thrown; -1: in the variable catchName
    std::string catchName;
};

// One decoded action. Jumps hold the index of the action they continue at.
struct Action {
    std::uint8_t code = 0;
    int target = -1;   // jump, if: the action to go to; size of the block when it runs off the end
    int number = 0;    // gotoFrame's frame, storeRegister's register, gotoFrame2's flags, getURL2's method
    int extra = 0;     // gotoFrame2's scene bias, waitForFrame's skip count
    std::string text;  // gotoLabel, setTarget, getURL's first string
    std::vector<PushItem> push;
    std::vector<SharedString> pool;                // constantPool
    std::shared_ptr<const FunctionCode> function;  // defineFunction, defineFunction2
    std::shared_ptr<const ActionBlock> body;       // with
    std::shared_ptr<const TryCode> handler;        // try
};

struct ActionBlock {
    std::vector<Action> actions;
};

// Decodes action records up to ActionEnd or the data's end. A record that runs past the data ends the
// block; unknown codes are kept (and later skipped); branches into the middle of a record end the block.
std::shared_ptr<const ActionBlock> readActions(std::span<const std::uint8_t> data);

// One onClipEvent handler of a PlaceObject2/3: the events it answers and its actions.
struct ClipAction {
    std::uint32_t events = 0;
    std::shared_ptr<const ActionBlock> block;
};

// Clip event bits, as SWF 6 and later write them.
inline constexpr std::uint32_t kEventLoad = 0x01;
inline constexpr std::uint32_t kEventEnterFrame = 0x02;
inline constexpr std::uint32_t kEventUnload = 0x04;
inline constexpr std::uint32_t kEventInitialize = 0x200;
inline constexpr std::uint32_t kEventConstruct = 0x40000;

// The clip actions record of a PlaceObject2/3 (after its reserved u16), for a movie of swfVersion.
std::vector<ClipAction> readClipActions(std::span<const std::uint8_t> data, int swfVersion);

}  // namespace flashgrab
