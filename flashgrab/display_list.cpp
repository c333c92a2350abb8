#include "flashgrab/display_list.h"

#include <algorithm>

#include "flashgrab/avm1.h"

namespace flashgrab {

ScriptLink& ScriptLink::operator=(ScriptLink&& other) noexcept {
    if (this != &other) {
        if (object) object->instance = nullptr;
        object = other.object;
        other.object = nullptr;
    }
    return *this;
}

ScriptLink::~ScriptLink() {
    if (object) object->instance = nullptr;
}

Player::Player(const Movie& movie) : movie_(movie) {
    emptyTimeline_.frames.resize(1);
    rootInstance_.timeline = std::make_unique<TimelineState>();
    rootInstance_.timeline->timeline = &movie.root;
    rootInstance_.timeline->owner = &rootInstance_;
    if (movie.hasScript) script_ = std::make_unique<Avm1>(*this, movie);
}

Player::~Player() = default;

void Player::setTraceOutput(std::FILE* out) {
    if (script_) script_->setTraceOutput(out);
}

void Player::advance() {
    tickBudget_ = 0;
    if (script_) script_->beginTick();
    step(root(), 0);
    if (script_) script_->runQueue();
}

void Player::step(TimelineState& state, int nesting) {
    if (!state.timeline || nesting > kMaxNesting) return;
    int frameCount = static_cast<int>(state.timeline->frames.size());
    if (state.current == 0) {
        enterFrame(state, 1, nesting);
        return;
    }
    std::size_t mark = 0;
    if (script_) {
        // A clip's enterFrame event and its frame actions come before those of its children.
        if (state.owner && (state.owner->clipActions || state.owner->link.object))
            script_->queueEvent(*state.owner, kEventEnterFrame);
        mark = script_->queueSize();
    }
    // Children placed before this tick advance; ones placed by this frame start at their frame 1.
    for (auto& [depth, child] : state.children) {
        if (++tickBudget_ > kMaxInstancesPerTick) break;
        if (child.timeline) step(*child.timeline, nesting + 1);
    }
    if (state.stopped) return;
    queueMark_ = script_ ? mark : Avm1::npos;
    if (state.current < frameCount)
        enterFrame(state, state.current + 1, nesting);
    else if (frameCount > 1)
        rewind(state, nesting);
    queueMark_ = Avm1::npos;
}

void Player::queueFrameActions(TimelineState& state, const Timeline::Frame& frame, std::size_t at) {
    for (const FrameAction& action : frame.actions) {
        if (action.initSprite >= 0) {
            script_->queueInitActions(action.initSprite, action.block.get());
        } else if (state.owner) {
            script_->queueActions(*state.owner, action.block.get(), at);
            if (at != Avm1::npos) ++at;
        }
    }
}

void Player::enterFrame(TimelineState& state, int frame, int nesting, bool runActions) {
    state.current = frame;
    const Timeline::Frame& f = state.timeline->frames[static_cast<std::size_t>(frame - 1)];
    if (script_ && runActions && !f.actions.empty()) queueFrameActions(state, f, queueMark_);
    queueMark_ = Avm1::npos;
    for (const DisplayCommand& cmd : f.commands) apply(state, cmd, frame, nesting);
}

// Going back to frame 1 keeps the instances that frame 1 itself placed (they keep their own state) and
// the ones scripts made, and drops the ones later frames added.
void Player::rewind(TimelineState& state, int nesting, bool runActions) {
    for (auto it = state.children.begin(); it != state.children.end();) {
        if (it->second.placeFrame > 1)
            it = state.children.erase(it);
        else
            ++it;
    }
    state.current = 1;
    const Timeline::Frame& f = state.timeline->frames[0];
    if (script_ && runActions && !f.actions.empty()) queueFrameActions(state, f, queueMark_);
    queueMark_ = Avm1::npos;
    for (const DisplayCommand& cmd : f.commands) {
        auto existing = state.children.find(cmd.depth);
        // What frame 1 placed and is still there only takes its placement again.
        bool keep = !cmd.remove && !cmd.move && existing != state.children.end() &&
                    existing->second.characterId == cmd.characterId;
        apply(state, cmd, 1, nesting, keep);
    }
}

void Player::gotoFrame(TimelineState& state, int frame) {
    if (!state.timeline || state.timeline->frames.empty()) return;
    frame = std::clamp(frame, 1, static_cast<int>(state.timeline->frames.size()));
    if (frame == state.current) return;
    queueMark_ = Avm1::npos;
    if (frame < state.current) {
        rewind(state, state.nesting, frame == 1);
        if (frame == 1) return;
    }
    // The frames on the way are built without their actions; only the frame reached runs its own.
    for (int f = state.current + 1; f <= frame; ++f) enterFrame(state, f, state.nesting, f == frame);
}

Instance* Player::placeClip(Instance& parent, int characterId, int depth, const std::string& name) {
    if (!parent.timeline || parent.timeline->nesting >= kMaxNesting) return nullptr;
    if (characterId >= 0 && !movie_.characters.count(characterId)) return nullptr;
    auto& children = parent.timeline->children;
    children.erase(depth);
    Instance& instance = children.emplace(depth, Instance{}).first->second;
    instance.characterId = characterId;
    instance.placeFrame = 0;
    instance.name = name;
    instance.parent = &parent;
    initialise(instance, parent.timeline->nesting + 1);
    return &instance;
}

void Player::removeClip(Instance& instance) {
    if (!instance.parent || !instance.parent->timeline) return;
    auto& children = instance.parent->timeline->children;
    for (auto it = children.begin(); it != children.end(); ++it) {
        if (&it->second == &instance) {
            children.erase(it);
            return;
        }
    }
}

void Player::apply(TimelineState& state, const DisplayCommand& cmd, int frame, int nesting, bool asMove) {
    if (cmd.remove) {
        state.children.erase(cmd.depth);
        return;
    }
    auto it = state.children.find(cmd.depth);
    Instance* target = nullptr;
    bool move = cmd.move || asMove;
    if (move) {
        if (it == state.children.end()) return;
        target = &it->second;
        // A move that names a character swaps it and keeps the placement.
        if (!asMove && cmd.characterId >= 0 && cmd.characterId != target->characterId) {
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
        instance.name = cmd.name;
        instance.clipActions = cmd.clipActions;
        target = &state.children.emplace(cmd.depth, std::move(instance)).first->second;
        target->parent = state.owner;
    }
    if (cmd.matrix && !target->scriptMoved) target->matrix = *cmd.matrix;
    if (cmd.colorTransform && !target->scriptColoured) target->colorTransform = *cmd.colorTransform;
    if (cmd.ratio) target->ratio = *cmd.ratio;
    if (cmd.clipDepth) target->clipDepth = *cmd.clipDepth;
    if (cmd.blendMode) target->blendMode = *cmd.blendMode;
    if (cmd.filters) target->filters = *cmd.filters;
    if (cmd.opaqueBackground) target->opaqueBackground = cmd.opaqueBackground;
    if (cmd.cacheAsBitmap) target->cacheAsBitmap = *cmd.cacheAsBitmap;
    target->visible = cmd.visible;
    if (!move) {
        initialise(*target, nesting + 1);
        if (script_) script_->instancePlaced(*target);
    }
}

void Player::initialise(Instance& instance, int nesting) {
    if (nesting > kMaxNesting) return;
    const Timeline* timeline = nullptr;
    if (instance.characterId < 0) {
        timeline = &emptyTimeline_;
    } else {
        const Character& character = movie_.characters.at(instance.characterId);
        if (auto* sprite = std::get_if<SpriteCharacter>(&character)) timeline = &sprite->timeline;
        if (auto* button = std::get_if<ButtonCharacter>(&character)) timeline = &button->timeline;
        if (std::get_if<VideoCharacter>(&character)) instance.video = std::make_unique<VideoState>();
    }
    if (timeline) {
        instance.timeline = std::make_unique<TimelineState>();
        instance.timeline->timeline = timeline;
        instance.timeline->owner = &instance;
        instance.timeline->nesting = nesting;
        step(*instance.timeline, nesting);
    }
}

}  // namespace flashgrab
