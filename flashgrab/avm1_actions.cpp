#include "flashgrab/avm1_actions.h"

#include <algorithm>
#include <cstring>

#include "flashgrab/bit_reader.h"

namespace flashgrab {
namespace {

// Function bodies nest blocks inside blocks; a forged file must not recurse without end.
constexpr int kMaxBlockNesting = 32;
// Marks an action that does not branch; a branch before the block's start ends it like one past its end.
constexpr long kNoBranch = -1000000;

double readDouble(BitReader& in) {
    // SWF stores a double as two little-endian words, the high word first.
    std::uint64_t high = in.u32();
    std::uint64_t low = in.u32();
    std::uint64_t bits = (high << 32) | low;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

float readFloat(BitReader& in) {
    std::uint32_t bits = in.u32();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

SharedString shared(std::string text) {
    return std::make_shared<const std::string>(std::move(text));
}

std::vector<PushItem> readPush(BitReader& in) {
    std::vector<PushItem> items;
    while (in.ok() && !in.atEnd()) {
        PushItem item;
        int type = in.u8();
        switch (type) {
            case 0:
                item.kind = PushItem::Kind::String;
                item.text = shared(in.cstring());
                break;
            case 1:
                item.kind = PushItem::Kind::Number;
                item.number = readFloat(in);
                break;
            case 2:
                item.kind = PushItem::Kind::Null;
                break;
            case 3:
                item.kind = PushItem::Kind::Undefined;
                break;
            case 4:
                item.kind = PushItem::Kind::Register;
                item.number = in.u8();
                break;
            case 5:
                item.kind = PushItem::Kind::Boolean;
                item.number = in.u8() != 0;
                break;
            case 6:
                item.kind = PushItem::Kind::Number;
                item.number = readDouble(in);
                break;
            case 7:
                item.kind = PushItem::Kind::Number;
                item.number = static_cast<std::int32_t>(in.u32());
                break;
            case 8:
                item.kind = PushItem::Kind::Constant;
                item.number = in.u8();
                break;
            case 9:
                item.kind = PushItem::Kind::Constant;
                item.number = in.u16();
                break;
            default:
                // An unknown type leaves the rest of the record unreadable.
                return items;
        }
        if (!in.ok()) break;
        items.push_back(std::move(item));
    }
    return items;
}

std::shared_ptr<const ActionBlock> readBlock(std::span<const std::uint8_t> data, int nesting);

// Reads the header of defineFunction(2) from the record; the body follows the record in the stream.
std::shared_ptr<FunctionCode> readFunction(BitReader& in, bool version2, std::size_t& bodySize) {
    auto code = std::make_shared<FunctionCode>();
    code->version2 = version2;
    code->name = in.cstring();
    int count = in.u16();
    if (version2) {
        code->registerCount = in.u8();
        code->flags = in.u16();
    }
    for (int i = 0; i < count && in.ok(); ++i) {
        int reg = version2 ? in.u8() : 0;
        code->parameterRegisters.push_back(reg);
        code->parameters.push_back(in.cstring());
    }
    bodySize = in.u16();
    return code;
}

std::shared_ptr<const ActionBlock> readBlock(std::span<const std::uint8_t> data, int nesting) {
    auto block = std::make_shared<ActionBlock>();
    if (nesting > kMaxBlockNesting) return block;
    std::vector<std::size_t> starts;  // byte offset of each action
    std::vector<long> branchTargets;  // byte offset each action branches to, -1 for none
    // Try actions with the byte offsets where their try, catch and finally blocks end.
    struct TryEnds {
        std::size_t action;
        std::shared_ptr<TryCode> code;
        std::size_t ends[3];
    };
    std::vector<TryEnds> tries;
    std::size_t pos = 0;
    while (pos < data.size()) {
        std::uint8_t code = data[pos];
        if (code == 0) break;
        std::size_t start = pos++;
        std::span<const std::uint8_t> record;
        if (code >= 0x80) {
            if (pos + 2 > data.size()) break;
            std::size_t length = data[pos] | (data[pos + 1] << 8);
            pos += 2;
            if (pos + length > data.size()) break;
            record = data.subspan(pos, length);
            pos += length;
        }
        Action action;
        action.code = code;
        long branch = kNoBranch;
        BitReader in(record);
        switch (code) {
            case 0x81:  // gotoFrame
                action.number = in.u16();
                break;
            case 0x83:  // getURL
                action.text = in.cstring();
                break;
            case 0x87:  // storeRegister
            case 0x9a:  // getURL2
            case 0x8d:  // waitForFrame2: skip count
                action.number = in.u8();
                break;
            case 0x8a:  // waitForFrame: frame, skip count
                action.number = in.u16();
                action.extra = in.u8();
                break;
            case 0x88: {  // constantPool
                int count = in.u16();
                for (int i = 0; i < count && in.ok(); ++i) action.pool.push_back(shared(in.cstring()));
                break;
            }
            case 0x8b:  // setTarget
            case 0x8c:  // gotoLabel
                action.text = in.cstring();
                break;
            case 0x96:
                action.push = readPush(in);
                break;
            case 0x99:  // jump
            case 0x9d:  // if
                branch = static_cast<long>(pos) + in.s16();
                break;
            case 0x9f:  // gotoFrame2
                action.number = in.u8();
                if (action.number & 0x02) action.extra = in.u16();
                break;
            case 0x9b:
            case 0x8e: {  // defineFunction, defineFunction2
                std::size_t bodySize = 0;
                auto function = readFunction(in, code == 0x8e, bodySize);
                bodySize = std::min(bodySize, data.size() - pos);
                function->body = readBlock(data.subspan(pos, bodySize), nesting + 1);
                pos += bodySize;
                action.function = std::move(function);
                break;
            }
            case 0x94: {  // with
                std::size_t bodySize = std::min<std::size_t>(in.u16(), data.size() - pos);
                action.body = readBlock(data.subspan(pos, bodySize), nesting + 1);
                pos += bodySize;
                break;
            }
            case 0x8f: {  // try: its blocks follow the record, of the sizes it gives
                int flags = in.u8();
                std::size_t sizes[3] = {in.u16(), in.u16(), in.u16()};
                auto handler = std::make_shared<TryCode>();
                handler->hasCatch = flags & 0x01;
                handler->hasFinally = flags & 0x02;
                if (flags & 0x04)
                    handler->catchRegister = in.u8();
                else
                    handler->catchName = in.cstring();
                // A record cut short is kept as an unknown action, so the blocks after it run as they come.
                if (!in.ok()) break;
                TryEnds ends{block->actions.size(), handler, {}};
                std::size_t at = pos;
                for (int k = 0; k < 3; ++k) ends.ends[k] = at += sizes[k];
                tries.push_back(std::move(ends));
                action.handler = std::move(handler);
                break;
            }
            default:
                break;
        }
        starts.push_back(start);
        branchTargets.push_back(branch);
        block->actions.push_back(std::move(action));
    }
    // Branch offsets become action indices; one that lands inside a record or outside the block ends it.
    const int end = static_cast<int>(block->actions.size());
    auto indexAt = [&starts, end](std::size_t offset) {
        auto at = std::lower_bound(starts.begin(), starts.end(), offset);
        return at != starts.end() && *at == offset ? static_cast<int>(at - starts.begin()) : end;
    };
    for (std::size_t i = 0; i < block->actions.size(); ++i) {
        long offset = branchTargets[i];
        if (offset == kNoBranch) continue;
        if (offset < 0) {
            block->actions[i].target = end;
            continue;
        }
        block->actions[i].target = indexAt(static_cast<std::size_t>(offset));
    }
    // A try's blocks end where an action starts; one that ends inside a record or past the block runs to
    // its end, and the blocks stay in their order whatever sizes a forged record gives.
    for (TryEnds& t : tries) {
        int first = static_cast<int>(t.action) + 1;
        int* bounds[3] = {&t.code->catchAt, &t.code->finallyAt, &t.code->end};
        for (int k = 0; k < 3; ++k) {
            first = std::max(first, indexAt(t.ends[k]));
            *bounds[k] = first;
        }
    }
    return block;
}

}  // namespace

std::shared_ptr<const ActionBlock> readActions(std::span<const std::uint8_t> data) {
    return readBlock(data, 0);
}

std::vector<ClipAction> readClipActions(std::span<const std::uint8_t> data, int swfVersion) {
    std::vector<ClipAction> out;
    BitReader in(data);
    bool wide = swfVersion >= 6;
    in.u16();  // reserved
    if (wide)
        in.u32();  // all events
    else
        in.u16();
    while (in.ok() && !in.atEnd()) {
        std::uint32_t events = wide ? in.u32() : in.u16();
        if (events == 0 || !in.ok()) break;
        std::uint32_t size = in.u32();
        // Key press handlers carry their key code ahead of the actions.
        if (events & 0x20000) {
            in.u8();
            size = size > 0 ? size - 1 : 0;
        }
        auto bytes = in.bytes(std::min<std::size_t>(size, in.remaining()));
        out.push_back({events, readActions(bytes)});
    }
    return out;
}

}  // namespace flashgrab
