// The script machine's objects and its queue of frame actions and clip events.
#include <algorithm>
#include <cmath>

#include "flashgrab/avm1_activation.h"
#include "flashgrab/display_list.h"

namespace flashgrab {

Avm1::Avm1(Player& player, const Movie& movie) : player_(player), movie_(movie) {
    installGlobals();
}

Avm1::~Avm1() = default;

double Avm1::movieTime() const {
    return std::floor(static_cast<double>(ticks_) * 1000.0 / std::max(movie_.file.frameRate, 1.0));
}

Object* Avm1::newObject(Object* proto) {
    if (heap_.size() >= kMaxObjects || !allocate(sizeof(Object) + 64)) return nullptr;
    heap_.push_back(std::make_unique<Object>());
    heap_.back()->proto = proto;
    return heap_.back().get();
}

Value Avm1::join(const std::string& a, const std::string& b) {
    if (!allocate(a.size() + b.size())) return Value::str(std::string());
    return Value::str(a + b);
}

bool Avm1::resizeElements(Object* array, std::size_t size) {
    if (size >= kMaxObjects) return false;
    if (size > array->elements.size() && !allocate((size - array->elements.size()) * sizeof(Value))) return false;
    array->elements.resize(size);
    return true;
}

Object* Avm1::newArray() {
    Object* array = newObject(arrayProto_);
    if (array) array->kind = ObjectKind::Array;
    return array;
}

Object* Avm1::newNative(NativeFunction function) {
    Object* f = newObject(functionProto_);
    if (!f) return nullptr;
    f->kind = ObjectKind::Function;
    f->native = function;
    return f;
}

Object* Avm1::objectOf(Instance& instance) {
    if (instance.link.object) return instance.link.object;
    // Clips are bounded by the display list's own limits, so they are made even past the object cap.
    heap_.push_back(std::make_unique<Object>());
    Object* object = heap_.back().get();
    bool isText = instance.text != nullptr;
    if (!isText && instance.characterId >= 0) {
        auto found = movie_.characters.find(instance.characterId);
        isText = found != movie_.characters.end() && std::holds_alternative<EditTextCharacter>(found->second);
    }
    object->kind = isText ? ObjectKind::TextField : ObjectKind::Clip;
    object->proto = isText ? textFieldProto_ : clipProto_;
    auto registered = classes_.find(instance.characterId);
    if (registered != classes_.end()) {
        Value proto = getMember(registered->second, "prototype");
        if (proto.isObject()) object->proto = proto.object;
    }
    object->instance = &instance;
    instance.link.object = object;
    return object;
}

void Avm1::registerClass(const std::string& linkage, const Value& constructor) {
    auto found = movie_.exports.find(linkage);
    if (found == movie_.exports.end()) return;
    if (constructor.isObject())
        classes_[found->second] = constructor;
    else
        classes_.erase(found->second);
}

void Avm1::constructClip(Object* clip) {
    if (!clip || !clip->instance) return;
    auto registered = classes_.find(clip->instance->characterId);
    if (registered == classes_.end()) return;
    const Value& constructor = registered->second;
    if (!constructor.isObject() || constructor.object->kind != ObjectKind::Function) return;
    // The class's prototype is where the constructor's super begins.
    Value proto = getMember(constructor, "prototype");
    runFunction(constructor.object, Value::obj(clip), {}, proto.isObject() ? proto.object : nullptr);
}

Object* Avm1::root() {
    return objectOf(player_.rootInstance());
}

void Avm1::queueActions(Instance& clip, const ActionBlock* block, std::size_t at) {
    if (!block || block->actions.empty()) return;
    Queued entry{objectOf(clip), block, 0};
    if (at == npos || at >= queue_.size())
        queue_.push_back(entry);
    else
        queue_.insert(queue_.begin() + static_cast<std::ptrdiff_t>(at), entry);
}

void Avm1::queueEvent(Instance& clip, std::uint32_t event, std::size_t at) {
    bool wanted = false;
    if (clip.clipActions)
        for (const ClipAction& action : *clip.clipActions) wanted = wanted || (action.events & event);
    // onEnterFrame may be the clip's own or its class's (an ActionScript 2 class's prototype).
    if (!wanted && clip.link.object && event == kEventEnterFrame)
        wanted = getMember(Value::obj(clip.link.object), "onEnterFrame").isObject();
    if (!wanted && clip.link.object && (event == kEventLoad || event == kEventConstruct)) wanted = true;
    if (!wanted) return;
    Queued entry{objectOf(clip), nullptr, event};
    if (at == npos || at >= queue_.size())
        queue_.push_back(entry);
    else
        queue_.insert(queue_.begin() + static_cast<std::ptrdiff_t>(at), entry);
}

void Avm1::queueInitActions(int spriteId, const ActionBlock* block) {
    if (!block || !initDone_.insert(spriteId).second) return;
    // Initialisation runs ahead of the frame's other actions, in the order it came; once the queue is
    // running (a goto reached the frame) it runs next.
    std::size_t at = running_ ? runIndex_ + 1 + initCount_ : initCount_;
    queue_.insert(queue_.begin() + static_cast<std::ptrdiff_t>(std::min(at, queue_.size())), Queued{root(), block, 0});
    ++initCount_;
}

void Avm1::runQueue() {
    drainQueue();
    // Timers fire after the frame's actions; what their gotos queue runs in the same tick.
    runTimers();
    drainQueue();
    updateBoundFields();
    // Scripts make objects every frame (each call makes its locals); a long movie must not run out.
    if (heap_.size() >= nextCollection_) {
        collectGarbage();
        nextCollection_ = std::max<std::size_t>(1u << 14, heap_.size() * 2);
    }
}

void Avm1::drainQueue() {
    running_ = true;
    for (std::size_t i = 0; i < queue_.size() && steps_ <= kMaxActionsPerTick; ++i) {
        runIndex_ = i;
        initCount_ = 0;
        Queued entry = queue_[i];
        if (!entry.clip || !entry.clip->instance) continue;  // the clip left the display list
        if (entry.event) {
            runEvent(entry.clip, entry.event);
            continue;
        }
        Activation frame;
        frame.target = frame.home = entry.clip;
        frame.self = Value::obj(entry.clip);
        frame.registers.resize(4);
        run(*entry.block, frame);
        endScript();
    }
    queue_.clear();
    running_ = false;
    initCount_ = 0;
}

int Avm1::addTimer(const Value& function, const Value& self, std::vector<Value> args, double periodMs, bool once) {
    // A forged period cannot make a timer fire more than once per tick.
    if (!std::isfinite(periodMs) || periodMs < 1) periodMs = 1;
    if (timers_.size() >= kMaxTimers) return 0;
    Timer timer;
    timer.id = nextTimerId_++;
    timer.function = function;
    timer.self = self;
    timer.args = std::move(args);
    timer.periodMs = periodMs;
    timer.dueMs = movieTime() + periodMs;
    timer.once = once;
    timers_.push_back(std::move(timer));
    return timers_.back().id;
}

void Avm1::removeTimer(int id) {
    timers_.erase(std::remove_if(timers_.begin(), timers_.end(), [id](const Timer& t) { return t.id == id; }),
                  timers_.end());
}

// Timers due by this tick's movie time fire now, a few times at most for one shorter than a frame.
void Avm1::runTimers() {
    double now = movieTime();
    for (std::size_t i = 0; i < timers_.size() && steps_ <= kMaxActionsPerTick; ++i) {
        for (int fired = 0; fired < kMaxTimerCallsPerTick && i < timers_.size() && timers_[i].dueMs <= now; ++fired) {
            // Copies: the call may add or remove timers.
            Timer timer = timers_[i];
            if (timer.once) {
                timers_.erase(timers_.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                timers_[i].dueMs += timer.periodMs;
                if (timers_[i].dueMs <= now - timer.periodMs * kMaxTimerCallsPerTick) timers_[i].dueMs = now;
            }
            call(timer.function, timer.self, timer.args);
            endScript();
            if (timer.once) {
                --i;
                break;
            }
        }
    }
}

bool Avm1::affordDisplay(std::size_t bytes) {
    // Counting walks the display list, so it waits until scripts have made a good deal.
    if (displayMade_ + bytes > kMaxDisplayBytes / 32) countDisplay();
    if (displayBytes_ + displayMade_ + bytes > kMaxDisplayBytes) return false;
    displayMade_ += bytes;
    return true;
}

void Avm1::countDisplay() {
    std::size_t bytes = 0;
    std::vector<Instance*> clips{&player_.rootInstance()};
    while (!clips.empty()) {
        Instance* instance = clips.back();
        clips.pop_back();
        bytes += kScriptClipBytes;
        if (instance->drawing) bytes += instance->drawing->shape.records.size() * kDrawingRecordBytes;
        if (instance->timeline)
            for (auto& [depth, child] : instance->timeline->children) clips.push_back(&child);
    }
    displayBytes_ = bytes;
    displayMade_ = 0;
}

void Avm1::collectGarbage() {
    std::vector<Object*> work;
    auto reach = [&work](Object* o) {
        if (o && !o->marked) {
            o->marked = true;
            work.push_back(o);
        }
    };
    auto reachValue = [&reach](const Value& v) {
        if (v.type == Value::Type::Object) reach(v.object);
    };
    for (Object* o : {global_, objectProto_, functionProto_, arrayProto_, clipProto_, textFieldProto_, stringProto_})
        reach(o);
    for (const auto& [id, constructor] : classes_) reachValue(constructor);
    for (const Queued& q : queue_) reach(q.clip);
    for (Object* field : boundFields_) reach(field);
    for (const Timer& t : timers_) {
        reachValue(t.function);
        reachValue(t.self);
        for (const Value& v : t.args) reachValue(v);
    }
    std::vector<Instance*> clips{&player_.rootInstance()};
    while (!clips.empty()) {
        Instance* instance = clips.back();
        clips.pop_back();
        reach(instance->link.object);
        reach(instance->mask);
        if (instance->timeline)
            for (auto& [depth, child] : instance->timeline->children) clips.push_back(&child);
    }
    while (!work.empty()) {
        Object* o = work.back();
        work.pop_back();
        reach(o->proto);
        reach(o->definedOn);
        reachValue(o->target);
        for (const auto& [name, value] : o->properties) reachValue(value);
        for (const Value& value : o->elements) reachValue(value);
        for (Scope* scope = o->scope.get(); scope; scope = scope->parent.get()) reach(scope->locals);
    }
    std::size_t kept = 0;
    for (auto& object : heap_) {
        if (object->marked) {
            object->marked = false;
            heap_[kept++] = std::move(object);
        } else {
            std::size_t bytes = sizeof(Object) + 64 + object->elements.size() * sizeof(Value);
            allocated_ -= std::min(allocated_, bytes);
            // A clip's object that nothing reaches has left the display list; its instance link is gone.
            object.reset();
        }
    }
    heap_.resize(kept);
}

void Avm1::runEvent(Object* clip, std::uint32_t event) {
    Instance* instance = clip->instance;
    if (instance->clipActions) {
        // The handlers are shared with the display command, so they outlive the instance if it goes.
        auto actions = instance->clipActions;
        for (const ClipAction& action : *actions) {
            if (!(action.events & event) || !action.block || !clip->instance) continue;
            Activation frame;
            frame.target = frame.home = clip;
            frame.self = Value::obj(clip);
            frame.registers.resize(4);
            run(*action.block, frame);
            endScript();
        }
    }
    if (!clip->instance) return;
    if (event == kEventConstruct) {
        constructClip(clip);
        endScript();
        return;
    }
    const char* handler = event == kEventEnterFrame ? "onEnterFrame" : event == kEventLoad ? "onLoad" : nullptr;
    if (!handler) return;
    Value function = getMember(Value::obj(clip), handler);
    if (function.isObject()) {
        call(function, Value::obj(clip), {});
        endScript();
    }
}

// A field bound to a variable shows the variable's value; a variable not yet set takes the field's text.
void Avm1::updateBoundFields() {
    std::size_t kept = 0;
    for (Object* object : boundFields_) {
        Instance* instance = object->instance;
        if (!instance) continue;
        boundFields_[kept++] = object;
        TextFieldState& state = textFieldOf(*instance);
        Object* owner = instance->parent ? objectOf(*instance->parent) : root();
        Activation frame;
        frame.target = frame.home = owner;
        frame.self = Value::obj(owner);
        const std::string& name = state.field.variable;
        Value value = getVariable(frame, name);
        if (value.isUndefined()) {
            setVariable(frame, name, Value::str(state.field.text));
            continue;
        }
        std::string text = toString(value);
        if (text != state.field.text) {
            state.field.text = std::move(text);
            state.layoutVersion = ++textVersion_;
        }
    }
    boundFields_.resize(kept);
}

void Avm1::instancePlaced(Instance& instance) {
    // A clip whose symbol has a registered class is made with it; then it is told it loaded.
    bool registered = classes_.count(instance.characterId) > 0;
    if (registered) {
        objectOf(instance);
        queueEvent(instance, kEventConstruct);
    }
    if (registered || instance.clipActions) queueEvent(instance, kEventLoad);
    auto character = movie_.characters.find(instance.characterId);
    if (character != movie_.characters.end())
        if (auto* edit = std::get_if<EditTextCharacter>(&character->second); edit && !edit->field.variable.empty())
            boundFields_.push_back(objectOf(instance));
}

}  // namespace flashgrab
