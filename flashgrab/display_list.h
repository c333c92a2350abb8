#pragma once

#include <map>
#include <memory>
#include <optional>

#include "flashgrab/movie.h"
#include "flashgrab/video_decode.h"

namespace flashgrab {

struct TimelineState;

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
};

struct TimelineState {
    const Timeline* timeline = nullptr;
    int current = 0;  // 1-based; 0 before the first frame
    bool stopped = false;
    std::map<int, Instance> children;  // by depth
};

// Plays a movie's timelines: the root and every placed sprite advance one frame per tick, each from the
// frame it was placed, looping at its end unless a plain stop() holds it.
class Player {
public:
    explicit Player(const Movie& movie);

    // Plays the next root frame; the first call shows frame 1.
    void advance();
    TimelineState& root() { return root_; }

private:
    void step(TimelineState& state, int nesting);
    void enterFrame(TimelineState& state, int frame, int nesting);
    void rewind(TimelineState& state, int nesting);
    void apply(TimelineState& state, const DisplayCommand& cmd, int frame, int nesting);
    void initialise(Instance& instance, int nesting);

    const Movie& movie_;
    TimelineState root_;
    // Instances visited or created during one tick; past the limit no new ones are made, so a movie of
    // sprites that nest copies of themselves cannot grow without bound.
    long tickBudget_ = 0;
};

// Nested timelines deeper than this are not instantiated (and not drawn).
inline constexpr int kMaxNesting = 64;
inline constexpr long kMaxInstancesPerTick = 200000;

}  // namespace flashgrab
