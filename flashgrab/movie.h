#pragma once

#include <cairo.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "flashgrab/avm1_actions.h"
#include "flashgrab/edit_text.h"
#include "flashgrab/filters.h"
#include "flashgrab/font_text.h"
#include "flashgrab/image.h"
#include "flashgrab/morph_shape.h"
#include "flashgrab/shape.h"
#include "flashgrab/swf_file.h"

namespace flashgrab {

// A PlaceObject (any version) or a RemoveObject, as far as drawing needs it.
struct DisplayCommand {
    bool remove = false;
    int depth = 0;
    bool move = false;
    int characterId = -1;  // -1: keeps the character at the depth
    std::optional<Matrix> matrix;
    std::optional<ColorTransform> colorTransform;
    std::optional<int> ratio;
    std::optional<int> clipDepth;
    std::optional<int> blendMode;
    std::optional<std::vector<Filter>> filters;
    bool visible = true;
    std::string name;  // the instance name scripts address it by
    std::optional<Rgba> opaqueBackground;
    std::optional<bool> cacheAsBitmap;
    std::shared_ptr<const std::vector<ClipAction>> clipActions;
};

// A frame's DoAction, or a DoInitAction (run once, ahead of the frame's own actions) for initSprite.
struct FrameAction {
    std::shared_ptr<const ActionBlock> block;
    int initSprite = -1;
};

struct Timeline {
    struct Frame {
        std::vector<DisplayCommand> commands;
        std::vector<FrameAction> actions;
    };
    std::vector<Frame> frames;
    std::map<std::string, int> labels;  // lower-case frame label -> 1-based frame
};

struct ShapeCharacter {
    Shape shape;
    ShapeGeometry geometry;
};

struct MorphCharacter {
    MorphShape morph;
};

struct SpriteCharacter {
    Timeline timeline;
};

struct TextCharacter {
    StaticText text;
};

struct EditTextCharacter {
    EditText field;
};

// The up state of a button, drawn like a one-frame sprite.
struct ButtonCharacter {
    Timeline timeline;
};

struct BitmapCharacter {
    std::optional<Image> image;
};

struct VideoCharacter {
    int codec = 0;
    int width = 0, height = 0;
    bool smoothing = false;
    int deblocking = 0;                                   // 0 as each frame says, 1 off, 2..5 levels 1..4
    std::map<int, std::span<const std::uint8_t>> frames;  // frame number -> data, views into the movie
};

using Character = std::variant<ShapeCharacter, MorphCharacter, SpriteCharacter, TextCharacter, EditTextCharacter,
                               ButtonCharacter, BitmapCharacter, VideoCharacter>;

// A parsed movie: the dictionary and the root timeline. It keeps the file, whose bytes the video
// frames view.
struct Movie {
    SwfFile file;
    Rgba background{255, 255, 255, 255};
    std::map<int, Character> characters;
    std::map<int, Font> fonts;
    Timeline root;
    std::map<std::string, int> exports;  // ExportAssets linkage name -> character id
    bool hasScript = false;              // any DoAction, DoInitAction or clip event
    int frameCount() const { return file.frameCount; }
};

std::unique_ptr<Movie> buildMovie(SwfFile file);
std::unique_ptr<Movie> loadMovie(const std::string& path);

}  // namespace flashgrab
