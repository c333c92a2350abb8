#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "flashgrab/avm1_value.h"
#include "flashgrab/movie.h"

namespace flashgrab {

class Player;
struct TimelineState;
struct TextFieldState;

// Actions run per tick before the frame ends: a script that loops forever stops here.
inline constexpr long kMaxActionsPerTick = 300000;
// Calls nested deeper than this return undefined.
inline constexpr int kMaxCallDepth = 64;
// Try actions running at once in one action list; one more fails as a throw would.
inline constexpr std::size_t kMaxTryNesting = 64;
// Objects alive at once (unreachable ones are freed between ticks); past this newObject and friends
// yield undefined.
inline constexpr std::size_t kMaxObjects = 1u << 20;
// Memory scripts may hold in objects and array elements, plus what they join into strings over the
// whole movie; past it arrays stop growing and joined strings come out empty, so a hostile script
// cannot exhaust memory.
inline constexpr std::size_t kMaxScriptBytes = 256u << 20;
// What the display list may hold of what scripts make: clips (counted at this size each, with their
// timeline and object) and drawing records. Counted over what is on the display list now, so a movie
// that makes and removes clips, or clears and redraws, every frame can go on for ever.
inline constexpr std::size_t kMaxDisplayBytes = 256u << 20;
inline constexpr std::size_t kScriptClipBytes = 1024;
inline constexpr std::size_t kDrawingRecordBytes = 2 * sizeof(ShapeRecord);
// setInterval timers alive at once, and the calls one timer may make in a tick.
inline constexpr std::size_t kMaxTimers = 1024;
inline constexpr int kMaxTimerCallsPerTick = 8;
// Values on the stack; a script that pushes without end loses the oldest half.
inline constexpr std::size_t kMaxStack = 1u << 16;

// The ActionScript 1/2 virtual machine of one playing movie: its objects, its queue of frame actions and
// clip events, and the stack machine that runs them. The player queues work while it builds a frame's
// display list and runs the queue when the display list is complete.
class Avm1 {
public:
    Avm1(Player& player, const Movie& movie);
    ~Avm1();
    Avm1(const Avm1&) = delete;
    Avm1& operator=(const Avm1&) = delete;

    // Where trace() writes; null writes nothing.
    void setTraceOutput(std::FILE* out) { trace_ = out; }

    // Queueing, in the order the player builds the display list. at: the position to insert at, to put a
    // parent's actions ahead of its children's; npos appends.
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    std::size_t queueSize() const { return queue_.size(); }
    void queueActions(Instance& clip, const ActionBlock* block, std::size_t at = npos);
    void queueEvent(Instance& clip, std::uint32_t event, std::size_t at = npos);
    void queueInitActions(int spriteId, const ActionBlock* block);
    // Starts a tick's budget and runs everything queued, including what running it queues.
    void beginTick() {
        steps_ = 0;
        ++ticks_;
    }
    void runQueue();
    // setInterval and setTimeout: calls function on self every period of movie time (once for a
    // timeout), checked once per tick. Returns the id clearInterval takes.
    int addTimer(const Value& function, const Value& self, std::vector<Value> args, double periodMs, bool once);
    void removeTimer(int id);

    // The player placed a clip from the timeline.
    void instancePlaced(Instance& instance);
    // The object that stands for a clip or text field in scripts, made on first use.
    Object* objectOf(Instance& instance);

    // Used by the bindings.
    int swfVersion() const { return movie_.file.version; }
    const Movie& movie() const { return movie_; }
    Player& player() { return player_; }
    Object* newObject(Object* proto);
    // Takes bytes from the movie's allowance; false when it would run out.
    bool allocate(std::size_t bytes) {
        if (bytes > kMaxScriptBytes - allocated_) return false;
        allocated_ += bytes;
        return true;
    }
    // Takes bytes from the display list's allowance (clips and drawings scripts make); false when spent.
    bool affordDisplay(std::size_t bytes);
    // a + b, or an empty string when the allowance is spent.
    Value join(const std::string& a, const std::string& b);
    // Resizes an array's elements within the allowance; false (and unchanged) when refused.
    bool resizeElements(Object* array, std::size_t size);
    Object* newArray();
    Object* newNative(NativeFunction function);
    Value call(const Value& function, const Value& self, const std::vector<Value>& args);
    Value getMember(const Value& object, std::string_view name);
    void setMember(const Value& object, const std::string& name, const Value& value);
    Object* clipProto() const { return clipProto_; }
    Object* textFieldProto() const { return textFieldProto_; }
    Object* objectProto() const { return objectProto_; }
    Object* arrayProto() const { return arrayProto_; }
    Object* stringProto() const { return stringProto_; }
    Object* functionProto() const { return functionProto_; }
    // Object.registerClass: clips of the exported symbol get the class's prototype and constructor.
    void registerClass(const std::string& linkage, const Value& constructor);
    // Runs the registered class's constructor on a clip that has just been attached.
    void constructClip(Object* clip);
    // Milliseconds of movie time, one frame interval per tick played.
    double movieTime() const;
    // A fixed pseudo-random sequence, so a movie renders the same every time.
    std::uint32_t nextRandom() {
        random_ = random_ * 1103515245u + 12345u;
        return random_ >> 8;
    }
    Object* global() const { return global_; }
    Object* root();
    // A target path ("_root.a.b", "/a/b", "../c") from a clip; null when it names nothing.
    Object* resolveTarget(std::string_view path, Object* from);
    std::FILE* traceOutput() const { return trace_; }

private:
    struct Activation;
    struct Queued {
        Object* clip = nullptr;
        const ActionBlock* block = nullptr;
        std::uint32_t event = 0;
    };

    struct TryState;
    void run(const ActionBlock& block, Activation& frame);
    // Where an action list goes on when it leaves one of its try action's blocks (running off its end, by
    // a branch, a return or a throw): into a catch or finally block, or on past the try; returns the
    // action to run next.
    int settleTry(std::vector<TryState>& handlers, int at, Activation& frame);
    void runEvent(Object* clip, std::uint32_t event);
    // holder: the prototype of the class a constructor builds, where its super begins; null for other
    // calls, whose prototype is looked up when they first use super.
    Value runFunction(Object* function, const Value& self, const std::vector<Value>& args, Object* holder);
    // The super object of a running function, made on first use; undefined outside functions.
    Value superOf(Activation& frame);
    // super(args): the parent class's constructor run on the function's this.
    Value callSuper(Object* super, const std::vector<Value>& args);
    // A script ran to its end: a throw nothing caught ends with it, with what it left on the stack.
    void endScript() {
        throwing_ = false;
        thrown_ = Value{};
        stack_.clear();
    }
    Value getVariable(Activation& frame, std::string_view name);
    void setVariable(Activation& frame, std::string_view name, const Value& value);
    Value clipProperty(Instance& instance, Object* object, std::string_view name, bool& found);
    // The clip's child of that instance name; undefined when none.
    Value childNamed(Instance& instance, std::string_view name);
    bool setClipProperty(Instance& instance, std::string_view name, const Value& value);
    // A clip's transform object: its matrix and colorTransform read and write the clip.
    // Frees the objects nothing can reach any more: from the globals, the registered classes, and the
    // clips on the display list. Runs between ticks, when no script is running.
    void collectGarbage();
    Value transformMember(Object* transform, std::string_view name);
    bool setTransformMember(Object* transform, std::string_view name, const Value& value);
    Value getProperty(Object* clip, int index);
    void setProperty(Object* clip, int index, const Value& value);
    Object* targetOf(const Value& v, Object* from);

public:
    enum class GotoMode { Keep, Play, Stop };
    // A goto on clip to a frame number (1-based), a label or "path:frame"; bias is added to numbers.
    void gotoFrame(Object* clip, const Value& frame, GotoMode mode, int bias);
    // The 1-based frame a value names on a timeline, 0 for none.
    int frameNumber(const TimelineState* timeline, const Value& frame);
    Value construct(const Value& constructor, const std::vector<Value>& args);
    std::string clipPath(Object* clip);
    // The editable state of a text field, copied from its character on first change.
    TextFieldState& textFieldOf(Instance& instance);
    int nextTextVersion() { return ++textVersion_; }

private:
    Value pop();
    void installGlobals();

    Player& player_;
    const Movie& movie_;
    std::FILE* trace_ = nullptr;
    std::vector<std::unique_ptr<Object>> heap_;
    std::vector<Queued> queue_;
    bool running_ = false;  // runQueue is at work, at runIndex_
    std::size_t runIndex_ = 0;
    std::size_t initCount_ = 0;  // init actions queued ahead since the queue started or moved on
    struct Timer {
        int id = 0;
        Value function, self;
        std::vector<Value> args;
        double periodMs = 0, dueMs = 0;
        bool once = false;
    };
    std::vector<Timer> timers_;
    // Text fields bound to a variable; they show its value after every tick.
    std::vector<Object*> boundFields_;
    void updateBoundFields();
    void drainQueue();
    int nextTimerId_ = 1;
    void runTimers();
    std::vector<Value> stack_;
    // A throw on its way to the nearest try: while it is, no more script code starts.
    bool throwing_ = false;
    Value thrown_;
    std::set<int> initDone_;
    std::map<int, Value> classes_;  // character id -> registered constructor
    long steps_ = 0;
    std::size_t allocated_ = 0;
    std::size_t displayBytes_ = 0;  // held by the display list when last counted
    std::size_t displayMade_ = 0;   // made by scripts since
    void countDisplay();
    std::size_t nextCollection_ = 1u << 14;  // heap size that starts the next collection
    long ticks_ = 0;
    int textVersion_ = 0;
    std::uint32_t random_ = 1;
    int callDepth_ = 0;
    Object* global_ = nullptr;
    Object* objectProto_ = nullptr;
    Object* functionProto_ = nullptr;
    Object* arrayProto_ = nullptr;
    Object* clipProto_ = nullptr;
    Object* textFieldProto_ = nullptr;
    Object* stringProto_ = nullptr;
};

}  // namespace flashgrab
