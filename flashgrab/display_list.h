#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "flashgrab/movie.h"
#include "flashgrab/video_decode.h"

namespace flashgrab {

struct TimelineState;
struct Object;
class Avm1;

// The link from a placed instance to the object scripts know it by. When the instance leaves the display
// list the object stays (scripts may hold it) but no longer points at it. It is set only once the
// instance has its place in its parent's map, where it no longer moves.
struct ScriptLink {
    Object* object = nullptr;
    ScriptLink() = default;
    ScriptLink(ScriptLink&& other) noexcept : object(other.object) { other.object = nullptr; }
    ScriptLink& operator=(ScriptLink&& other) noexcept;
    ScriptLink(const ScriptLink&) = delete;
    ScriptLink& operator=(const ScriptLink&) = delete;
    ~ScriptLink();
};

// What the drawing API (beginFill, lineTo, ...) drew into a clip, below its children.
struct Drawing {
    Shape shape;
    ShapeGeometry geometry;
    bool changed = false;    // geometry must be rebuilt from shape before drawing
    bool filling = false;    // between beginFill and endFill
    bool hasBounds = false;  // shape.bounds holds what was drawn
    double penX = 0, penY = 0, startX = 0, startY = 0;
};

// A text field made by createTextField, or a placed one whose text a script changed.
struct TextFieldState {
    EditText field;
    int layoutVersion = 0;  // bumped on every change, so the renderer lays the text out again
};
// Decoding state of one placed video: frames must reach the decoder in order.
struct VideoState {
    std::unique_ptr<VideoStreamDecoder> decoder;
    int lastFrame = -1;
    std::optional<Image> image;
};

// One placed character at a depth.
struct Instance {
    int characterId = 0;
    int placeFrame = 0;  // the frame of the parent's timeline that created it
    Matrix matrix;
    ColorTransform colorTransform;
    int ratio = 0;
    int clipDepth = 0;
    int blendMode = 0;  // 0 and 1 normal, 2 layer, 3 multiply, ... 14 hard light
    std::vector<Filter> filters;
    bool visible = true;
    std::unique_ptr<TimelineState> timeline;  // sprites and buttons
    std::unique_ptr<VideoState> video;
    // What scripts see and change; all empty in a movie without ActionScript.
    std::string name;
    Instance* parent = nullptr;  // the clip whose timeline holds this one; null for the root
    std::shared_ptr<const std::vector<ClipAction>> clipActions;
    std::unique_ptr<Drawing> drawing;
    std::unique_ptr<TextFieldState> text;
    std::optional<Rect> scrollRect;        // twips: the clip shows this part of itself at its origin
    Object* mask = nullptr;                // setMask: the clip whose shape this one shows through
    bool isMask = false;                   // used as a mask by setMask, so not drawn itself
    std::optional<Rgba> opaqueBackground;  // fills the instance's bounds behind it
    bool cacheAsBitmap = false;            // drawn as a bitmap, so on whole pixels
    // Once a script sets a clip's placement or colour, the timeline no longer changes that one.
    bool scriptMoved = false, scriptColoured = false;
    ScriptLink link;
};

struct TimelineState {
    const Timeline* timeline = nullptr;
    int current = 0;  // 1-based; 0 before the first frame
    bool stopped = false;
    std::map<int, Instance> children;  // by depth
    Instance* owner = nullptr;         // the instance this timeline belongs to
    int nesting = 0;
};

// Plays a movie's timelines: the root and every placed sprite advance one frame per tick, each from the
// frame it was placed, looping at its end unless a plain stop() holds it.
class Player {
public:
    explicit Player(const Movie& movie);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Plays the next root frame; the first call shows frame 1. Frame actions and clip events run once the
    // frame's display list is built.
    void advance();
    TimelineState& root() { return *rootInstance_.timeline; }
    Instance& rootInstance() { return rootInstance_; }
    // trace() output of the movie's scripts goes there (nothing when null).
    void setTraceOutput(std::FILE* out);

    // For scripts: shows frame (clamped to the timeline) the way a goto does, queueing its actions.
    void gotoFrame(TimelineState& state, int frame);
    // For scripts: places a new clip (characterId -1: an empty one) or replaces what is at depth.
    Instance* placeClip(Instance& parent, int characterId, int depth, const std::string& name);
    void removeClip(Instance& instance);

private:
    void step(TimelineState& state, int nesting);
    void enterFrame(TimelineState& state, int frame, int nesting, bool runActions = true);
    void rewind(TimelineState& state, int nesting, bool runActions = true);
    // asMove: the command only moves what is at its depth, whatever it says.
    void apply(TimelineState& state, const DisplayCommand& cmd, int frame, int nesting, bool asMove = false);
    void initialise(Instance& instance, int nesting);
    void queueFrameActions(TimelineState& state, const Timeline::Frame& frame, std::size_t at);

    // Declared in this order so instances go before the script objects they point at.
    const Movie& movie_;
    Timeline emptyTimeline_;        // what createEmptyMovieClip plays
    std::unique_ptr<Avm1> script_;  // only for movies with ActionScript
    Instance rootInstance_;
    // Where a timeline's frame actions go in the queue: ahead of those of the children stepped before it.
    std::size_t queueMark_ = static_cast<std::size_t>(-1);
    // Instances visited or created during one tick; past the limit no new ones are made, so a movie of
    // sprites that nest copies of themselves cannot grow without bound.
    long tickBudget_ = 0;
};

// Nested timelines deeper than this are not instantiated (and not drawn).
inline constexpr int kMaxNesting = 64;
inline constexpr long kMaxInstancesPerTick = 200000;

}  // namespace flashgrab
