#include "flashgrab/place_object.h"

#include "flashgrab/avm1_actions.h"
#include "flashgrab/filters.h"

namespace flashgrab {

DisplayCommand readDisplayCommand(int tagCode, std::span<const std::uint8_t> body, int swfVersion) {
    DisplayCommand cmd;
    BitReader in(body);
    if (tagCode == 5) {
        cmd.remove = true;
        in.u16();
        cmd.depth = in.u16();
        return cmd;
    }
    if (tagCode == 28) {
        cmd.remove = true;
        cmd.depth = in.u16();
        return cmd;
    }
    if (tagCode == 4) {
        cmd.characterId = in.u16();
        cmd.depth = in.u16();
        cmd.matrix = readMatrix(in);
        if (in.remaining() > 0) cmd.colorTransform = readColorTransform(in, false);
        return cmd;
    }
    int flags = in.u8();
    int flags2 = tagCode == 26 ? 0 : in.u8();
    cmd.depth = in.u16();
    cmd.move = flags & 0x01;
    bool hasCharacter = flags & 0x02;
    if ((flags2 & 0x08) || ((flags2 & 0x10) && hasCharacter)) in.cstring();
    if (hasCharacter) cmd.characterId = in.u16();
    if (flags & 0x04) cmd.matrix = readMatrix(in);
    if (flags & 0x08) cmd.colorTransform = readColorTransform(in, true);
    if (flags & 0x10) cmd.ratio = in.u16();
    if (flags & 0x20) cmd.name = in.cstring();
    if (flags & 0x40) cmd.clipDepth = in.u16();
    if (flags2 & 0x01) {
        std::vector<Filter> filters;
        bool complete = readFilters(in, filters);
        cmd.filters = std::move(filters);
        if (!complete) return cmd;
    }
    if (flags2 & 0x02) {
        int mode = in.u8();
        if (in.ok()) cmd.blendMode = mode;
    }
    if (flags2 & 0x04) {
        int cache = in.u8();
        if (in.ok()) cmd.cacheAsBitmap = cache != 0;
    }
    if (flags2 & 0x20) {
        int visible = in.u8();
        if (in.ok()) cmd.visible = visible != 0;
    }
    if (flags2 & 0x40) {
        Rgba c;
        c.r = in.u8();
        c.g = in.u8();
        c.b = in.u8();
        c.a = in.u8();
        if (in.ok()) cmd.opaqueBackground = c;
    }
    if ((flags & 0x80) && in.ok() && !in.atEnd()) {
        auto actions = readClipActions(in.rest(), swfVersion);
        if (!actions.empty()) cmd.clipActions = std::make_shared<const std::vector<ClipAction>>(std::move(actions));
    }
    return cmd;
}

}  // namespace flashgrab
