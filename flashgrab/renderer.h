#pragma once

#include <cairo.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "flashgrab/device_font.h"
#include "flashgrab/display_list.h"
#include "flashgrab/paint.h"

namespace flashgrab {

// Draws a movie's display list into one reused cairo image surface of the output size.
class Renderer {
public:
    // fontConfigFile, when given, is the fontconfig file device-font text is looked up through
    // instead of the system's.
    Renderer(const Movie& movie, int width, int height, bool antialias, std::string fontConfigFile = {});
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    bool ok() const { return cr_ != nullptr; }
    void render(TimelineState& root);
    // width * height * 3 bytes: blue, green, red, rows top to bottom.
    void writeBgr(std::uint8_t* out) const;
    cairo_surface_t* surface() const { return surface_; }

private:
    using Items = std::vector<std::pair<int, Instance*>>;
    void drawChildren(TimelineState& state, const Matrix& m, const ColorTransform& cx, int nesting, bool mask);
    void drawRange(const Items& items, std::size_t begin, std::size_t end, const Matrix& m, const ColorTransform& cx,
                   int nesting, bool mask);
    void drawBlended(Instance& instance, const Matrix& m, const ColorTransform& cx, int nesting, bool inLayer);
    void drawInstance(Instance& instance, const Matrix& parent, const ColorTransform& parentCx, int nesting, bool mask);
    void drawTextField(Instance& instance, const EditText& field, const Matrix& parent, const Matrix& m,
                       const ColorTransform& cx, int nesting, bool mask);
    // What the drawing API drew into the instance, below its children.
    void drawDrawing(Instance& instance, const Matrix& m, const Matrix& pen, const ColorTransform& cx, bool mask);
    void drawMasked(Instance& instance, const Matrix& parent, const ColorTransform& parentCx, int nesting);
    void drawGeometry(const ShapeGeometry& geometry, const std::vector<StyleGroup>& groups, bool winding,
                      const Matrix& m, const Matrix& pen, const ColorTransform& cx, bool mask);
    // The device width of a round pen for a stroke that does not simply scale with its shape: one whose
    // line style keeps the width along an axis, or one thinner than a pixel. 0 for the others.
    double unscaledStrokeWidth(const LineStyle& line, const Matrix& m) const;
    void drawGlyphs(const std::vector<PlacedGlyph>& glyphs, const Matrix& m, const ColorTransform& cx, bool mask);
    void drawImage(const Image& image, double widthTwips, double heightTwips, bool smooth, const Matrix& m,
                   const ColorTransform& cx, bool mask);
    void drawVideo(Instance& instance, const VideoCharacter& video, const Matrix& m, const ColorTransform& cx,
                   bool mask);
    // The device-space box an instance draws within; nullopt when not known (then nothing is clipped).
    struct Box {
        double x0, y0, x1, y1;
    };
    std::optional<Box> boundsOf(const Instance& instance, const Matrix& parent, int nesting) const;
    // Clips to the box (rounded out) so that groups pushed next are only as large as needed.
    void clipTo(const std::optional<Box>& box);
    void addContours(const std::vector<Contour>& contours, bool closeAll);
    cairo_surface_t* bitmapSurface(int id);
    // The bitmap halved level times, made once and kept.
    cairo_surface_t* halvedBitmap(int id, int level);
    const std::pair<Shape, ShapeGeometry>& morphShape(int id, const MorphShape& morph, int ratio);

    const Movie& movie_;
    int width_, height_;
    bool antialias_;
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
    Matrix stage_;
    PaintOptions paint_;
    long drawBudget_ = 0;
    int layerDepth_ = 0;  // how many "layer" blend groups enclose what is being drawn
    std::map<int, cairo_surface_t*> bitmaps_;
    std::map<std::pair<int, int>, cairo_surface_t*> halvedBitmaps_;
    std::map<std::pair<int, int>, std::pair<Shape, ShapeGeometry>> morphs_;
    DeviceFonts deviceFonts_;                                  // before the layouts, whose glyphs point into its fonts
    std::map<int, std::vector<PlacedGlyph>> editTextLayouts_;  // by character id
    std::map<int, std::vector<PlacedGlyph>> textLayouts_;      // fields scripts made or changed, by layout version
    static constexpr std::size_t kTextLayoutCacheSize = 256;
};

}  // namespace flashgrab
