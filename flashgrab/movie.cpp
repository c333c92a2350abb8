#include "flashgrab/movie.h"

#include <cctype>

#include "flashgrab/bitmap_decode.h"
#include "flashgrab/filters.h"
#include "flashgrab/place_object.h"

namespace flashgrab {
namespace {

// How deep DefineSprite may nest inside DefineSprite before we stop reading; real movies never come close.
constexpr int kMaxSpriteNesting = 32;

class MovieReader {
public:
    explicit MovieReader(Movie& movie) : movie_(movie) {}

    void readTimeline(const std::vector<Tag>& tags, Timeline& timeline, int frameCount, int nesting) {
        timeline.frames.assign(static_cast<std::size_t>(std::max(frameCount, 1)), {});
        std::size_t frame = 0;
        for (const Tag& tag : tags) {
            if (frame >= timeline.frames.size()) break;
            switch (tag.code) {
                case 1:
                    ++frame;
                    break;
                case 4:
                case 5:
                case 26:
                case 28:
                case 70:
                case 94:
                    timeline.frames[frame].commands.push_back(
                        readDisplayCommand(tag.code, tag.data, movie_.file.version));
                    if (timeline.frames[frame].commands.back().clipActions) movie_.hasScript = true;
                    break;
                case 12:
                    timeline.frames[frame].actions.push_back({readActions(tag.data), -1});
                    movie_.hasScript = true;
                    break;
                case 59:
                    if (tag.data.size() >= 2) {
                        int sprite = tag.data[0] | (tag.data[1] << 8);
                        timeline.frames[frame].actions.push_back({readActions(tag.data.subspan(2)), sprite});
                        movie_.hasScript = true;
                    }
                    break;
                case 43: {
                    BitReader in(tag.data);
                    std::string label = in.cstring();
                    for (char& c : label) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                    timeline.labels.emplace(label, static_cast<int>(frame) + 1);
                    break;
                }
                case 56: {
                    BitReader in(tag.data);
                    int count = in.u16();
                    for (int i = 0; i < count && in.ok(); ++i) {
                        int id = in.u16();
                        std::string name = in.cstring();
                        if (in.ok()) movie_.exports[name] = id;
                    }
                    break;
                }
                default:
                    readDefinition(tag, nesting);
                    break;
            }
        }
    }

private:
    void readDefinition(const Tag& tag, int nesting) {
        BitReader in(tag.data);
        switch (tag.code) {
            case 9:
                movie_.background = readRgb(in);
                return;
            case 8:
                jpegTables_ = tag.data;
                return;
            case 61: {
                int stream = in.u16();
                int frame = in.u16();
                auto it = movie_.characters.find(stream);
                if (in.ok() && it != movie_.characters.end())
                    if (auto* video = std::get_if<VideoCharacter>(&it->second)) video->frames[frame] = in.rest();
                return;
            }
            default:
                break;
        }
        int id = in.u16();
        if (!in.ok()) return;
        auto body = tag.data.subspan(2);
        switch (tag.code) {
            case 2:
            case 22:
            case 32:
            case 83: {
                int version = tag.code == 2 ? 1 : tag.code == 22 ? 2 : tag.code == 32 ? 3 : 4;
                ShapeCharacter shape;
                shape.shape = readShape(in, version);
                shape.geometry = buildGeometry(shape.shape.records, shape.shape.groups.size());
                movie_.characters[id] = std::move(shape);
                break;
            }
            case 46:
            case 84:
                movie_.characters[id] = MorphCharacter{readMorphShape(tag.code, body)};
                break;
            case 39: {
                if (nesting >= kMaxSpriteNesting) break;
                int frames = in.u16();
                SpriteCharacter sprite;
                // Register first so a sprite's tags cannot recurse into a half-read sprite of the same id.
                movie_.characters[id] = SpriteCharacter{};
                readTimeline(splitTags(tag.data.subspan(std::min<std::size_t>(4, tag.data.size()))), sprite.timeline,
                             frames, nesting + 1);
                movie_.characters[id] = std::move(sprite);
                break;
            }
            case 10:
            case 48:
            case 75:
                movie_.fonts[id] = readFont(tag.code, body);
                break;
            case 13:
            case 62:
                if (auto font = movie_.fonts.find(id); font != movie_.fonts.end())
                    readFontInfo(tag.code, body, font->second);
                break;
            case 11:
            case 33:
                movie_.characters[id] = TextCharacter{readStaticText(tag.code, body, movie_.fonts)};
                break;
            case 37:
                movie_.characters[id] = EditTextCharacter{readEditText(body)};
                break;
            case 7:
            case 34:
                movie_.characters[id] = readButton(tag.code, in);
                break;
            case 6:
            case 20:
            case 21:
            case 35:
            case 36:
            case 90:
                movie_.characters[id] = BitmapCharacter{decodeBitmapTag(tag.code, body, jpegTables_)};
                break;
            case 60: {
                VideoCharacter video;
                in.u16();
                video.width = in.u16();
                video.height = in.u16();
                int flags = in.u8();
                video.deblocking = (flags >> 1) & 7;
                video.smoothing = (flags & 1) != 0;
                video.codec = in.u8();
                if (in.ok()) movie_.characters[id] = std::move(video);
                break;
            }
            default:
                break;
        }
    }

    ButtonCharacter readButton(int tagCode, BitReader& in) {
        ButtonCharacter button;
        button.timeline.frames.resize(1);
        if (tagCode == 34) {
            in.u8();
            in.u16();
        }
        while (in.ok()) {
            int flags = in.u8();
            if (flags == 0 || !in.ok()) break;
            DisplayCommand cmd;
            cmd.characterId = in.u16();
            cmd.depth = in.u16();
            cmd.matrix = readMatrix(in);
            if (tagCode == 34) {
                cmd.colorTransform = readColorTransform(in, true);
                std::vector<Filter> filters;
                if ((flags & 0x10) && !readFilters(in, filters)) break;
                if (flags & 0x20) in.u8();
            }
            if (in.ok() && (flags & 0x01)) button.timeline.frames[0].commands.push_back(cmd);
        }
        return button;
    }

    Movie& movie_;
    std::span<const std::uint8_t> jpegTables_;
};

}  // namespace

std::unique_ptr<Movie> buildMovie(SwfFile file) {
    auto movie = std::make_unique<Movie>();
    movie->file = std::move(file);
    MovieReader reader(*movie);
    reader.readTimeline(movie->file.tags, movie->root, movie->file.frameCount, 0);
    return movie;
}

std::unique_ptr<Movie> loadMovie(const std::string& path) {
    auto file = loadSwf(path);
    if (!file) return nullptr;
    return buildMovie(std::move(*file));
}

}  // namespace flashgrab
