#include "flashgrab/renderer.h"

#include <algorithm>
#include <cmath>

#include "flashgrab/avm1_value.h"
#include "flashgrab/bgr_rows.h"
#include "flashgrab/drawing.h"
#include "flashgrab/mipmap.h"
#include "flashgrab/text_layout.h"

namespace flashgrab {
namespace {

// Morph shapes are rebuilt per ratio; beyond this many cached ratios the cache starts over.
constexpr std::size_t kMorphCacheSize = 256;

Point cubicFromQuad(const Point& from, const Point& control) {
    return {from.x + 2.0 / 3.0 * (control.x - from.x), from.y + 2.0 / 3.0 * (control.y - from.y)};
}

double scaleOf(const Matrix& m) {
    return std::sqrt(std::fabs(m.a * m.d - m.b * m.c));
}

// cairo refuses a singular matrix by putting the whole context in an error state, so such objects
// (scaled to nothing) are skipped instead.
bool usable(const Matrix& m) {
    double det = m.a * m.d - m.b * m.c;
    return std::isfinite(det) && std::fabs(det) > 1e-12 && std::isfinite(m.tx) && std::isfinite(m.ty) &&
           std::fabs(m.tx) < 1e9 && std::fabs(m.ty) < 1e9;
}

// The matrix a shape's strokes are drawn with: Flash strokes with a pen scaled and turned by the shape's
// own matrix but not skewed by it; what encloses the shape transforms the stroke like everything else.
// A skewed matrix gives a round pen of its smaller axis scale: the reference draws both sides of a sheared
// square equally thick, where a pen stretched along the axes would thicken one pair.
Matrix penMatrix(const Matrix& parent, const Matrix& own) {
    double scaleX = std::hypot(own.a, own.b), scaleY = std::hypot(own.c, own.d);
    if (scaleX == 0 || scaleY == 0) return multiply(parent, own);
    // Columns further than about half a degree from square (more than the rounding of a rotation).
    if (std::fabs(own.a * own.c + own.b * own.d) > 0.01 * scaleX * scaleY) {
        double scale = std::min(scaleX, scaleY);
        return multiply(parent, Matrix{scale, 0, 0, scale, own.tx, own.ty});
    }
    double det = own.a * own.d - own.b * own.c;
    if (det < 0) scaleY = -scaleY;
    double cosine = own.a / scaleX, sine = own.b / scaleX;
    Matrix unskewed{scaleX * cosine, scaleX * sine, -scaleY * sine, scaleY * cosine, own.tx, own.ty};
    return multiply(parent, unskewed);
}

}  // namespace

Renderer::Renderer(const Movie& movie, int width, int height, bool antialias, std::string fontConfigFile)
    : movie_(movie), width_(width), height_(height), antialias_(antialias), deviceFonts_(std::move(fontConfigFile)) {
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) return;
    cr_ = cairo_create(surface_);
    if (!antialias) cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
    const Rect& stage = movie.file.stage;
    double stageWidth = stage.xMax - stage.xMin, stageHeight = stage.yMax - stage.yMin;
    // A degenerate stage rectangle draws at 1:1 instead of dividing by nothing.
    double sx = stageWidth > 0 ? width / stageWidth : 1 / 20.0;
    double sy = stageHeight > 0 ? height / stageHeight : 1 / 20.0;
    stage_ = Matrix{sx, 0, 0, sy, -stage.xMin * sx, -stage.yMin * sy};
    paint_.antialias = antialias;
    paint_.smoothBitmaps = movie.file.version >= 8;
    paint_.bitmap = [this](int id) { return bitmapSurface(id); };
    // Halved copies are a high-quality refinement: at low quality Flash samples a shrunk bitmap itself.
    if (antialias) paint_.halvedBitmap = [this](int id, int level) { return halvedBitmap(id, level); };
}

Renderer::~Renderer() {
    for (auto& [id, surface] : bitmaps_)
        if (surface) cairo_surface_destroy(surface);
    for (auto& [key, surface] : halvedBitmaps_) cairo_surface_destroy(surface);
    if (cr_) cairo_destroy(cr_);
    if (surface_) cairo_surface_destroy(surface_);
}

void Renderer::render(TimelineState& root) {
    if (!cr_) return;
    drawBudget_ = 0;
    cairo_save(cr_);
    cairo_identity_matrix(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
    const Rgba& bg = movie_.background;
    cairo_set_source_rgb(cr_, bg.r / 255.0, bg.g / 255.0, bg.b / 255.0);
    cairo_paint(cr_);
    cairo_restore(cr_);
    // Scripts may move, scale or tint the root like any clip.
    Matrix m = root.owner ? multiply(stage_, root.owner->matrix) : stage_;
    ColorTransform cx = root.owner ? root.owner->colorTransform : ColorTransform{};
    if (root.owner && root.owner->drawing) drawDrawing(*root.owner, m, m, cx, false);
    if (usable(m) && (!root.owner || root.owner->visible)) drawChildren(root, m, cx, 0, false);
    cairo_surface_flush(surface_);
    // A context in an error state draws nothing more; start the next frame with a fresh one.
    if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS) {
        cairo_destroy(cr_);
        cr_ = cairo_create(surface_);
        if (!antialias_) cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
    }
}

void Renderer::writeBgr(std::uint8_t* out) const {
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    int stride = cairo_image_surface_get_stride(surface_);
    for (int y = 0; y < height_; ++y) {
        auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        argbRowToBgr(row, width_, out);
        out += static_cast<std::ptrdiff_t>(width_) * 3;
    }
}

void Renderer::drawChildren(TimelineState& state, const Matrix& m, const ColorTransform& cx, int nesting, bool mask) {
    if (nesting > kMaxNesting) return;
    Items items;
    items.reserve(state.children.size());
    for (auto& [depth, instance] : state.children) items.emplace_back(depth, &instance);
    drawRange(items, 0, items.size(), m, cx, nesting, mask);
}

// A clip layer masks the depths above it up to its clip depth: those are drawn into a group that is
// then painted through the mask's coverage.
void Renderer::drawRange(const Items& items, std::size_t begin, std::size_t end, const Matrix& m,
                         const ColorTransform& cx, int nesting, bool mask) {
    for (std::size_t i = begin; i < end;) {
        Instance& instance = *items[i].second;
        // Inside a mask Flash does not apply nested masks: every shape adds to the coverage.
        if (instance.clipDepth <= 0 || mask) {
            if (!mask && (instance.blendMode >= 2 || !instance.filters.empty()))
                drawBlended(instance, m, cx, nesting, layerDepth_ > 0);
            else
                drawInstance(instance, m, cx, nesting, mask);
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        while (j < end && items[j].first <= instance.clipDepth) ++j;
        if (!mask && j > i + 1) {
            // Groups come back with the matrix that was current at the push; identity keeps them in device space.
            cairo_save(cr_);
            cairo_identity_matrix(cr_);
            clipTo(boundsOf(instance, m, nesting));
            cairo_push_group(cr_);
            drawRange(items, i + 1, j, m, cx, nesting, mask);
            cairo_pattern_t* content = cairo_pop_group(cr_);
            cairo_identity_matrix(cr_);
            cairo_push_group_with_content(cr_, CAIRO_CONTENT_ALPHA);
            drawInstance(instance, m, cx, nesting, true);
            cairo_pattern_t* coverage = cairo_pop_group(cr_);
            cairo_save(cr_);
            cairo_identity_matrix(cr_);
            cairo_set_source(cr_, content);
            cairo_mask(cr_, coverage);
            cairo_restore(cr_);
            cairo_restore(cr_);
            cairo_pattern_destroy(coverage);
            cairo_pattern_destroy(content);
        }
        i = j;
    }
}

void Renderer::drawInstance(Instance& instance, const Matrix& parent, const ColorTransform& parentCx, int nesting,
                            bool mask) {
    // A clip that serves as another's mask (setMask) only shapes that one.
    if (!instance.visible || (instance.isMask && !mask) || ++drawBudget_ > kMaxInstancesPerTick) return;
    if (instance.mask && instance.mask->instance && !mask) {
        drawMasked(instance, parent, parentCx, nesting);
        return;
    }
    auto found = movie_.characters.find(instance.characterId);
    bool scripted = instance.timeline || instance.text;
    if (found == movie_.characters.end() && !scripted) return;
    Matrix m = multiply(parent, instance.matrix);
    if (!usable(m)) return;
    // A clip cached as a bitmap is a picture of its bounds placed on whole device pixels.
    if (instance.cacheAsBitmap) {
        auto box = boundsIn(instance, Matrix{}, movie_);
        double x = box ? m.a * box->xMin + m.c * box->yMin + m.tx : m.tx;
        double y = box ? m.b * box->xMin + m.d * box->yMin + m.ty : m.ty;
        m.tx += std::floor(x + 0.5) - x;
        m.ty += std::floor(y + 0.5) - y;
    }
    ColorTransform cx = compose(parentCx, instance.colorTransform);
    if (instance.opaqueBackground && !mask) {
        // An opaque clip fills its bounds with its background colour behind what it draws.
        if (auto box = boundsIn(instance, Matrix{}, movie_)) {
            cairo_matrix_t cm = toCairo(m);
            cairo_set_matrix(cr_, &cm);
            cairo_new_path(cr_);
            cairo_rectangle(cr_, box->xMin, box->yMin, static_cast<double>(box->xMax) - box->xMin,
                            static_cast<double>(box->yMax) - box->yMin);
            Rgba c = apply(cx, *instance.opaqueBackground);
            cairo_set_source_rgba(cr_, c.r / 255.0, c.g / 255.0, c.b / 255.0, c.a / 255.0);
            cairo_fill(cr_);
        }
    }
    if (instance.text) {
        drawTextField(instance, instance.text->field, parent, m, cx, nesting, mask);
        return;
    }
    if (instance.timeline) {
        // The clip shows its scroll rectangle at its origin, cut to that rectangle; drawn as a mask it is
        // moved the same way but not cut.
        const Rect* scroll = instance.scrollRect ? &*instance.scrollRect : nullptr;
        bool cut = scroll && !mask;
        if (scroll)
            m = multiply(m, Matrix{1, 0, 0, 1, -static_cast<double>(scroll->xMin), -static_cast<double>(scroll->yMin)});
        if (cut) {
            const Rect& r = *scroll;
            cairo_save(cr_);
            cairo_matrix_t cm = toCairo(m);
            cairo_set_matrix(cr_, &cm);
            cairo_new_path(cr_);
            cairo_rectangle(cr_, r.xMin, r.yMin, static_cast<double>(r.xMax) - r.xMin,
                            static_cast<double>(r.yMax) - r.yMin);
            cairo_identity_matrix(cr_);
            cairo_clip(cr_);
        }
        if (instance.drawing) {
            Drawing& d = *instance.drawing;
            if (d.changed) {
                d.geometry = buildGeometry(d.shape.records, d.shape.groups.size());
                d.changed = false;
            }
            Matrix own = instance.matrix;
            if (scroll)
                own = multiply(
                    own, Matrix{1, 0, 0, 1, -static_cast<double>(scroll->xMin), -static_cast<double>(scroll->yMin)});
            drawGeometry(d.geometry, d.shape.groups, false, m, penMatrix(parent, own), cx, mask);
        }
        drawChildren(*instance.timeline, m, cx, nesting + 1, mask);
        if (cut) cairo_restore(cr_);
        return;
    }
    const Character& character = found->second;
    if (auto* shape = std::get_if<ShapeCharacter>(&character)) {
        drawGeometry(shape->geometry, shape->shape.groups, shape->shape.windingFill, m,
                     penMatrix(parent, instance.matrix), cx, mask);
    } else if (auto* morph = std::get_if<MorphCharacter>(&character)) {
        const auto& [s, geometry] = morphShape(instance.characterId, morph->morph, instance.ratio);
        drawGeometry(geometry, s.groups, false, m, penMatrix(parent, instance.matrix), cx, mask);
    } else if (auto* text = std::get_if<TextCharacter>(&character)) {
        Matrix textMatrix = multiply(m, text->text.matrix);
        if (usable(textMatrix))
            drawGlyphs(deviceFonts_.staticText(instance.characterId, text->text, movie_.fonts), textMatrix, cx, mask);
    } else if (auto* edit = std::get_if<EditTextCharacter>(&character)) {
        drawTextField(instance, edit->field, parent, m, cx, nesting, mask);
    } else if (auto* bitmap = std::get_if<BitmapCharacter>(&character)) {
        if (bitmap->image)
            drawImage(*bitmap->image, bitmap->image->width * 20.0, bitmap->image->height * 20.0, true, m, cx, mask);
    } else if (auto* video = std::get_if<VideoCharacter>(&character)) {
        drawVideo(instance, *video, m, cx, mask);
    }
}

void Renderer::drawTextField(Instance& instance, const EditText& field, const Matrix& parent, const Matrix& m,
                             const ColorTransform& cx, int nesting, bool mask) {
    if ((field.border || field.background) && !mask) {
        // The border is a one-pixel line on the pixel grid, covering the box's first and last pixel rows.
        Box box = boundsOf(instance, parent, nesting).value_or(Box{0, 0, 0, 0});
        // Halves round down, as the reference draws fields that sit half-way between pixels.
        auto snap = [](double v) { return std::ceil(v - 0.5); };
        double x0 = snap(box.x0), y0 = snap(box.y0);
        double x1 = snap(box.x1), y1 = snap(box.y1);
        cairo_identity_matrix(cr_);
        if (field.background) {
            cairo_new_path(cr_);
            // With a border the background reaches the box's last column and row (and the corner the border
            // leaves out); without one it stops short of them.
            double edge = field.border ? 1 : 0;
            cairo_rectangle(cr_, x0, y0, x1 - x0 + edge, y1 - y0 + edge);
            Rgba fill = apply(cx, field.backgroundColor);
            cairo_set_source_rgba(cr_, fill.r / 255.0, fill.g / 255.0, fill.b / 255.0, fill.a / 255.0);
            cairo_fill(cr_);
        }
        if (field.border && x1 > x0 && y1 > y0) {
            // Drawn as four one-pixel lines the way Flash does, which leaves out the bottom-right corner pixel.
            cairo_new_path(cr_);
            cairo_rectangle(cr_, x0, y0, x1 - x0 + 1, 1);
            cairo_rectangle(cr_, x0, y0, 1, y1 - y0 + 1);
            cairo_rectangle(cr_, x0, y1, x1 - x0, 1);
            cairo_rectangle(cr_, x1, y0, 1, y1 - y0);
            cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
            Rgba line = apply(cx, field.borderColor);
            cairo_set_source_rgba(cr_, line.r / 255.0, line.g / 255.0, line.b / 255.0, line.a / 255.0);
            cairo_fill(cr_);
        }
    }
    // Placed fields are laid out once per character; fields scripts change once per change.
    auto& layouts = instance.text ? textLayouts_ : editTextLayouts_;
    int key = instance.text ? instance.text->layoutVersion : instance.characterId;
    if (instance.text && layouts.size() > kTextLayoutCacheSize) layouts.clear();
    auto layout = layouts.find(key);
    if (layout == layouts.end()) {
        int version = movie_.file.version;
        std::vector<PlacedGlyph> glyphs =
            layoutText(formattedText(field, movie_.fonts, version), field, movie_.fonts, version, &deviceFonts_);
        layout = layouts.emplace(key, std::move(glyphs)).first;
    }
    // Text is cut at the field's sides, a gutter inside its bounds; above and below it may reach the bounds.
    // A field that masks (setMask) covers with all of its text.
    cairo_save(cr_);
    if (!(mask && instance.isMask)) {
        cairo_matrix_t fieldMatrix = toCairo(m);
        cairo_set_matrix(cr_, &fieldMatrix);
        cairo_new_path(cr_);
        cairo_rectangle(cr_, field.bounds.xMin + kTextGutter, field.bounds.yMin,
                        std::max(0.0, static_cast<double>(field.bounds.xMax) - field.bounds.xMin - 2 * kTextGutter),
                        static_cast<double>(field.bounds.yMax) - field.bounds.yMin);
        cairo_clip(cr_);
    }
    drawGlyphs(layout->second, m, cx, mask);
    cairo_restore(cr_);
}

void Renderer::drawDrawing(Instance& instance, const Matrix& m, const Matrix& pen, const ColorTransform& cx,
                           bool mask) {
    Drawing& d = *instance.drawing;
    if (d.changed) {
        d.geometry = buildGeometry(d.shape.records, d.shape.groups.size());
        d.changed = false;
    }
    drawGeometry(d.geometry, d.shape.groups, false, m, pen, cx, mask);
}

// A clip with a setMask mask: drawn into a group that is painted through the coverage of the mask clip,
// drawn where it stands on the stage.
void Renderer::drawMasked(Instance& instance, const Matrix& parent, const ColorTransform& parentCx, int nesting) {
    Instance& maskInstance = *instance.mask->instance;
    Matrix maskMatrix = maskInstance.matrix;
    int depth = 0;
    for (Instance* p = maskInstance.parent; p && depth < kMaxNesting; p = p->parent, ++depth)
        maskMatrix = multiply(p->matrix, maskMatrix);
    cairo_save(cr_);
    cairo_identity_matrix(cr_);
    cairo_push_group(cr_);
    Object* keep = instance.mask;
    instance.mask = nullptr;
    drawInstance(instance, parent, parentCx, nesting, false);
    instance.mask = keep;
    cairo_pattern_t* content = cairo_pop_group(cr_);
    cairo_identity_matrix(cr_);
    cairo_push_group_with_content(cr_, CAIRO_CONTENT_ALPHA);
    // The mask is drawn as itself, not offset by its own matrix twice.
    Matrix maskParent = multiply(stage_, multiply(maskMatrix, [&] {
                                     Matrix inverse;
                                     return invert(maskInstance.matrix, inverse) ? inverse : Matrix{};
                                 }()));
    drawInstance(maskInstance, maskParent, ColorTransform{}, nesting, true);
    cairo_pattern_t* coverage = cairo_pop_group(cr_);
    cairo_identity_matrix(cr_);
    cairo_set_source(cr_, content);
    cairo_mask(cr_, coverage);
    cairo_restore(cr_);
    cairo_pattern_destroy(coverage);
    cairo_pattern_destroy(content);
}

std::optional<Renderer::Box> Renderer::boundsOf(const Instance& instance, const Matrix& parent, int nesting) const {
    if (nesting > kMaxNesting) return std::nullopt;
    Matrix m = multiply(parent, instance.matrix);
    auto boxOf = [&m](double x0, double y0, double x1, double y1) {
        Box box{1e300, 1e300, -1e300, -1e300};
        for (auto [x, y] : {std::pair{x0, y0}, {x1, y0}, {x0, y1}, {x1, y1}}) {
            double dx = m.a * x + m.c * y + m.tx, dy = m.b * x + m.d * y + m.ty;
            box = {std::min(box.x0, dx), std::min(box.y0, dy), std::max(box.x1, dx), std::max(box.y1, dy)};
        }
        return box;
    };
    if (instance.text) {
        const Rect& r = instance.text->field.bounds;
        return boxOf(r.xMin, r.yMin, r.xMax, r.yMax);
    }
    if (instance.timeline) {
        Box box{1e300, 1e300, -1e300, -1e300};
        if (instance.drawing && instance.drawing->hasBounds) {
            const Rect& r = instance.drawing->shape.bounds;
            box = boxOf(r.xMin, r.yMin, r.xMax, r.yMax);
        }
        for (const auto& [depth, child] : instance.timeline->children) {
            auto inner = boundsOf(child, m, nesting + 1);
            if (!inner) return std::nullopt;
            box = {std::min(box.x0, inner->x0), std::min(box.y0, inner->y0), std::max(box.x1, inner->x1),
                   std::max(box.y1, inner->y1)};
        }
        return box;
    }
    auto found = movie_.characters.find(instance.characterId);
    if (found == movie_.characters.end()) return std::nullopt;
    const Character& character = found->second;
    if (auto* shape = std::get_if<ShapeCharacter>(&character)) {
        const Rect& r = shape->shape.bounds;
        return boxOf(r.xMin, r.yMin, r.xMax, r.yMax);
    }
    if (auto* edit = std::get_if<EditTextCharacter>(&character)) {
        const Rect& r = edit->field.bounds;
        return boxOf(r.xMin, r.yMin, r.xMax, r.yMax);
    }
    return std::nullopt;
}

void Renderer::clipTo(const std::optional<Box>& box) {
    if (!box) return;
    // A pixel of margin for anti-aliased edges.
    double x0 = std::floor(box->x0) - 1, y0 = std::floor(box->y0) - 1;
    double x1 = std::ceil(box->x1) + 1, y1 = std::ceil(box->y1) + 1;
    if (x1 <= x0 || y1 <= y0) {
        x1 = x0;
        y1 = y0;
    }
    cairo_rectangle(cr_, x0, y0, x1 - x0, y1 - y0);
    cairo_clip(cr_);
}

void Renderer::addContours(const std::vector<Contour>& contours, bool closeAll) {
    for (const Contour& contour : contours) {
        if (contour.empty()) continue;
        cairo_move_to(cr_, contour.front().from.x, contour.front().from.y);
        for (const Edge& e : contour) {
            if (e.curved) {
                Point c1 = cubicFromQuad(e.from, e.control);
                Point c2 = cubicFromQuad(e.to, e.control);
                cairo_curve_to(cr_, c1.x, c1.y, c2.x, c2.y, e.to.x, e.to.y);
            } else {
                cairo_line_to(cr_, e.to.x, e.to.y);
            }
        }
        const Point& first = contour.front().from;
        const Point& last = contour.back().to;
        if (closeAll || (first.x == last.x && first.y == last.y)) cairo_close_path(cr_);
    }
}

void Renderer::drawGeometry(const ShapeGeometry& geometry, const std::vector<StyleGroup>& groups, bool winding,
                            const Matrix& m, const Matrix& pen, const ColorTransform& cx, bool mask) {
    cairo_matrix_t cm = toCairo(m);
    PaintOptions options = paint_;
    options.maskOnly = mask;
    // At high quality Flash draws a shape's bitmap fill as a playing movie's: unsmoothed (it smooths only a
    // movie that stands still), with hard edges, and lined up with the shape's origin rounded to a whole pixel.
    PaintOptions unsmoothed = options;
    unsmoothed.smoothBitmaps = false;
    cairo_matrix_t snapped = cm;
    snapped.x0 = std::round(cm.x0);
    snapped.y0 = std::round(cm.y0);
    for (std::size_t g = 0; g < geometry.layers.size() && g < groups.size(); ++g) {
        const auto& layer = geometry.layers[g];
        const StyleGroup& styles = groups[g];
        for (const StyledPath& path : layer.fills) {
            if (path.style < 0 || static_cast<std::size_t>(path.style) >= styles.fills.size()) continue;
            const FillStyle& fill = styles.fills[path.style];
            cairo_set_matrix(cr_, &cm);
            cairo_new_path(cr_);
            addContours(path.contours, true);
            cairo_set_fill_rule(cr_, winding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
            if (antialias_ && fill.kind == FillKind::Bitmap) {
                // The path is in device space already, so the matrix changes for the bitmap only.
                cairo_set_matrix(cr_, &snapped);
                cairo_antialias_t before = cairo_get_antialias(cr_);
                cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
                setFillSource(cr_, fill, cx, unsmoothed);
                cairo_fill(cr_);
                cairo_set_antialias(cr_, before);
                continue;
            }
            setFillSource(cr_, fill, cx, options);
            cairo_fill(cr_);
        }
        for (const StyledPath& path : layer.lines) {
            if (path.style < 0 || static_cast<std::size_t>(path.style) >= styles.lines.size()) continue;
            const LineStyle& line = styles.lines[path.style];
            cairo_set_matrix(cr_, &cm);
            cairo_new_path(cr_);
            addContours(path.contours, false);
            if (line.hasFill)
                setFillSource(cr_, line.fill, cx, options);
            else
                setFillSource(cr_, FillStyle{FillKind::Solid, line.color, {}, {}, 0, true, true}, cx, options);
            // The path is already in device space, so the matrix can change for the pen. A stroke that
            // scales normally is drawn with the pen matrix, unevenly when the shape is stretched. Otherwise
            // the pen is round in device space, and hairlines and lines thinner than a pixel still cover
            // one pixel.
            double fixedWidth = unscaledStrokeWidth(line, m);
            if (fixedWidth > 0) {
                cairo_identity_matrix(cr_);
                cairo_set_line_width(cr_, fixedWidth);
            } else {
                cairo_matrix_t penCm = toCairo(pen);
                if (usable(pen)) cairo_set_matrix(cr_, &penCm);
                cairo_set_line_width(cr_, line.width);
            }
            cairo_set_line_cap(cr_, line.cap == Cap::None     ? CAIRO_LINE_CAP_BUTT
                                    : line.cap == Cap::Square ? CAIRO_LINE_CAP_SQUARE
                                                              : CAIRO_LINE_CAP_ROUND);
            cairo_set_line_join(cr_, line.join == Join::Bevel   ? CAIRO_LINE_JOIN_BEVEL
                                     : line.join == Join::Miter ? CAIRO_LINE_JOIN_MITER
                                                                : CAIRO_LINE_JOIN_ROUND);
            cairo_set_miter_limit(cr_, std::max(1.0, line.miterLimit));
            cairo_stroke(cr_);
        }
    }
}

double Renderer::unscaledStrokeWidth(const LineStyle& line, const Matrix& m) const {
    double stageScale = scaleOf(stage_);
    double scale = scaleOf(m);
    // Flash keeps a line's width along an axis only for shapes that are not rotated or skewed.
    bool upright = m.b == 0 && m.c == 0 && stageScale > 0;
    double width = line.width * scale;
    if (upright && line.noHScale && line.noVScale)
        width = line.width * stageScale;
    else if (upright && line.noHScale)
        width = line.width * std::fabs(m.d);
    else if (upright && line.noVScale)
        width = line.width * std::fabs(m.a);
    else if (width >= 1)
        return 0;
    return std::max(1.0, width);
}

void Renderer::drawGlyphs(const std::vector<PlacedGlyph>& glyphs, const Matrix& m, const ColorTransform& cx,
                          bool mask) {
    for (const PlacedGlyph& placed : glyphs) {
        const Font* font = placed.deviceFont;
        auto found = movie_.fonts.find(placed.fontId);
        if (!font && found != movie_.fonts.end()) font = &found->second;
        if (!font || placed.glyph < 0 || static_cast<std::size_t>(placed.glyph) >= font->glyphs.size()) continue;
        const ShapeGeometry& glyph = font->glyphs[placed.glyph];
        Matrix glyphMatrix = multiply(m, placed.matrix);
        if (!usable(glyphMatrix)) continue;
        cairo_matrix_t cm = toCairo(glyphMatrix);
        cairo_set_matrix(cr_, &cm);
        cairo_new_path(cr_);
        for (const auto& layer : glyph.layers)
            for (const StyledPath& path : layer.fills) addContours(path.contours, true);
        cairo_set_fill_rule(cr_, font->windingFill ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
        Rgba c = apply(cx, placed.color);
        if (mask) c.a = 255;
        cairo_set_source_rgba(cr_, c.r / 255.0, c.g / 255.0, c.b / 255.0, c.a / 255.0);
        cairo_fill(cr_);
    }
}

void Renderer::drawImage(const Image& image, double widthTwips, double heightTwips, bool smooth, const Matrix& m,
                         const ColorTransform& cx, bool mask) {
    if (image.width <= 0 || image.height <= 0 || widthTwips <= 0 || heightTwips <= 0 ||
        image.pixels.size() < static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
        return;
    cairo_surface_t* surface = surfaceOf(image);
    FillStyle fill;
    fill.kind = FillKind::Bitmap;
    fill.repeat = false;
    fill.smooth = smooth;
    fill.matrix = Matrix{widthTwips / image.width, 0, 0, heightTwips / image.height, 0, 0};
    PaintOptions options = paint_;
    options.maskOnly = mask;
    options.bitmap = [surface](int) { return surface; };
    // Halved copies are kept by character id and this image's fill names none: it is drawn from its own pixels.
    options.halvedBitmap = nullptr;
    cairo_matrix_t cm = toCairo(m);
    cairo_set_matrix(cr_, &cm);
    cairo_new_path(cr_);
    cairo_rectangle(cr_, 0, 0, widthTwips, heightTwips);
    setFillSource(cr_, fill, cx, options);
    cairo_fill(cr_);
    cairo_surface_destroy(surface);
}

void Renderer::drawVideo(Instance& instance, const VideoCharacter& video, const Matrix& m, const ColorTransform& cx,
                         bool mask) {
    if (!instance.video) return;
    VideoState& state = *instance.video;
    int target = instance.ratio;
    if (target < state.lastFrame || !state.decoder) {
        state.decoder = std::make_unique<VideoStreamDecoder>(video.codec, video.width, video.height,
                                                             VideoDisplay{video.deblocking, true});
        state.lastFrame = -1;
        state.image.reset();
    }
    // Frames reach the decoder in order, from the one after the last decoded up to the one shown.
    for (auto it = video.frames.upper_bound(state.lastFrame); it != video.frames.end() && it->first <= target; ++it) {
        if (auto image = state.decoder->decode(it->second)) state.image = std::move(image);
        state.lastFrame = it->first;
    }
    if (state.image) drawImage(*state.image, video.width * 20.0, video.height * 20.0, video.smoothing, m, cx, mask);
}

cairo_surface_t* Renderer::bitmapSurface(int id) {
    auto cached = bitmaps_.find(id);
    if (cached != bitmaps_.end()) return cached->second;
    cairo_surface_t* surface = nullptr;
    auto found = movie_.characters.find(id);
    if (found != movie_.characters.end()) {
        auto* bitmap = std::get_if<BitmapCharacter>(&found->second);
        if (bitmap && bitmap->image && bitmap->image->width > 0 && bitmap->image->height > 0 &&
            bitmap->image->pixels.size() >=
                static_cast<std::size_t>(bitmap->image->width) * static_cast<std::size_t>(bitmap->image->height))
            surface = surfaceOf(*bitmap->image);
    }
    bitmaps_[id] = surface;
    return surface;
}

cairo_surface_t* Renderer::halvedBitmap(int id, int level) {
    if (level <= 0) return bitmapSurface(id);
    auto key = std::make_pair(id, level);
    auto cached = halvedBitmaps_.find(key);
    if (cached != halvedBitmaps_.end()) return cached->second;
    cairo_surface_t* larger = halvedBitmap(id, level - 1);
    if (!larger) return nullptr;
    cairo_surface_t* halved = halvedSurface(larger);
    halvedBitmaps_[key] = halved;
    return halved;
}

const std::pair<Shape, ShapeGeometry>& Renderer::morphShape(int id, const MorphShape& morph, int ratio) {
    auto key = std::make_pair(id, ratio);
    auto found = morphs_.find(key);
    if (found != morphs_.end()) return found->second;
    if (morphs_.size() >= kMorphCacheSize) morphs_.clear();
    Shape shape = morphAt(morph, ratio / 65535.0);
    ShapeGeometry geometry = buildGeometry(shape.records, shape.groups.size());
    return morphs_.emplace(key, std::make_pair(std::move(shape), std::move(geometry))).first->second;
}

}  // namespace flashgrab
