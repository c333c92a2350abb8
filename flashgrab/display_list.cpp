#include "flashgrab/display_list.h"

namespace flashgrab {

Player::Player(const Movie& movie) : movie_(movie) {
    root_.timeline = &movie.root;
}

void Player::advance() {
    tickBudget_ = 0;
    step(root_, 0);
}

void Player::step(TimelineState& state, int nesting) {
    if (!state.timeline || nesting > kMaxNesting) return;
    int frameCount = static_cast<int>(state.timeline->frames.size());
    if (state.current == 0) {
        enterFrame(state, 1, nesting);
        return;
    }
    // Children placed before this tick advance; ones placed by this frame start at their frame 1.
    for (auto& [depth, child] : state.children) {
        if (++tickBudget_ > kMaxInstancesPerTick) break;
        if (child.timeline) step(*child.timeline, nesting + 1);
    }
    if (state.stopped) return;
    if (state.current < frameCount)
        enterFrame(state, state.current + 1, nesting);
    else if (frameCount > 1)
        rewind(state, nesting);
}

void Player::enterFrame(TimelineState& state, int frame, int nesting) {
    state.current = frame;
    const Timeline::Frame& f = state.timeline->frames[static_cast<std::size_t>(frame - 1)];
    for (const DisplayCommand& cmd : f.commands) apply(state, cmd, frame, nesting);
    if (f.stop) state.stopped = true;
}

// Going back to frame 1 keeps the instances that frame 1 itself placed (they keep their own state) and
// drops the ones later frames added.
void Player::rewind(TimelineState& state, int nesting) {
    for (auto it = state.children.begin(); it != state.children.end();) {
        if (it->second.placeFrame > 1)
            it = state.children.erase(it);
        else
            ++it;
    }
    state.current = 1;
    const Timeline::Frame& f = state.timeline->frames[0];
    for (const DisplayCommand& cmd : f.commands) {
        auto existing = state.children.find(cmd.depth);
        if (!cmd.remove && !cmd.move && existing != state.children.end() &&
            existing->second.characterId == cmd.characterId) {
            DisplayCommand asMove = cmd;
            asMove.move = true;
            asMove.characterId = -1;
            apply(state, asMove, 1, nesting);
        } else {
            apply(state, cmd, 1, nesting);
        }
    }
    if (f.stop) state.stopped = true;
}

void Player::apply(TimelineState& state, const DisplayCommand& cmd, int frame, int nesting) {
    if (cmd.remove) {
        state.children.erase(cmd.depth);
        return;
    }
    auto it = state.children.find(cmd.depth);
    Instance* target = nullptr;
    if (cmd.move) {
        if (it == state.children.end()) return;
        target = &it->second;
        // A move that names a character swaps it and keeps the placement.
        if (cmd.characterId >= 0 && cmd.characterId != target->characterId) {
            if (++tickBudget_ > kMaxInstancesPerTick) return;
            target->characterId = cmd.characterId;
            target->timeline.reset();
            target->video.reset();
            initialise(*target, nesting + 1);
        }
    } else {
        if (cmd.characterId < 0 || !movie_.characters.count(cmd.characterId)) return;
        if (++tickBudget_ > kMaxInstancesPerTick) return;
        // Placing over an occupied depth is not allowed in SWF; Flash leaves the old object there.
        if (it != state.children.end()) return;
        Instance instance;
        instance.characterId = cmd.characterId;
        instance.placeFrame = frame;
        target = &state.children.emplace(cmd.depth, std::move(instance)).first->second;
    }
    if (cmd.matrix) target->matrix = *cmd.matrix;
    if (cmd.colorTransform) target->colorTransform = *cmd.colorTransform;
    if (cmd.ratio) target->ratio = *cmd.ratio;
    if (cmd.clipDepth) target->clipDepth = *cmd.clipDepth;
    if (cmd.blendMode) target->blendMode = *cmd.blendMode;
    if (cmd.filters) target->filters = *cmd.filters;
    target->visible = cmd.visible;
    if (!cmd.move) initialise(*target, nesting + 1);
}

void Player::initialise(Instance& instance, int nesting) {
    if (nesting > kMaxNesting) return;
    const Character& character = movie_.characters.at(instance.characterId);
    const Timeline* timeline = nullptr;
    if (auto* sprite = std::get_if<SpriteCharacter>(&character)) timeline = &sprite->timeline;
    if (auto* button = std::get_if<ButtonCharacter>(&character)) timeline = &button->timeline;
    if (timeline) {
        instance.timeline = std::make_unique<TimelineState>();
        instance.timeline->timeline = timeline;
        step(*instance.timeline, nesting);
    }
    if (std::get_if<VideoCharacter>(&character)) instance.video = std::make_unique<VideoState>();
}

}  // namespace flashgrab
