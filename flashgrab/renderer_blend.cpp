// Objects drawn into a group of their own first: those with a blend mode or filters.

#include "flashgrab/renderer.h"

#include <cmath>
#include <optional>

#include "flashgrab/separable_blend.h"

namespace flashgrab {
namespace {

// How far a filtered object moves so that its bounds' corner, taken in whole twips, lands on a whole pixel
// (halves away from zero).
double snapOffset(double devicePixels) {
    double corner = std::round(devicePixels * 20) / 20;
    return std::round(corner) - devicePixels;
}

// The blend modes composited by compositeSeparable.
std::optional<SeparableBlend> separableBlendOf(int blendMode) {
    switch (blendMode) {
        case 3:
            return SeparableBlend::Multiply;
        case 4:
            return SeparableBlend::Screen;
        case 5:
            return SeparableBlend::Lighten;
        case 6:
            return SeparableBlend::Darken;
        case 7:
            return SeparableBlend::Difference;
        case 13:
            return SeparableBlend::Overlay;
        case 14:
            return SeparableBlend::HardLight;
        default:
            return std::nullopt;
    }
}

}  // namespace

// Filters and blend modes draw the object into a group first and composite that group with the mode's operator.
// Alpha and erase act on an enclosing layer; without one Flash shows nothing of the object. Subtract
// and invert have no cairo operator and are composited pixel by pixel.
void Renderer::drawBlended(Instance& instance, const Matrix& m, const ColorTransform& cx, int nesting, bool inLayer) {
    cairo_operator_t op = CAIRO_OPERATOR_OVER;
    switch (instance.blendMode) {
        case 3:
            op = CAIRO_OPERATOR_MULTIPLY;
            break;
        case 4:
            op = CAIRO_OPERATOR_SCREEN;
            break;
        case 5:
            op = CAIRO_OPERATOR_LIGHTEN;
            break;
        case 6:
            op = CAIRO_OPERATOR_DARKEN;
            break;
        case 7:
            op = CAIRO_OPERATOR_DIFFERENCE;
            break;
        case 8:
            op = CAIRO_OPERATOR_ADD;
            break;
        case 11:
            if (!inLayer) return;
            op = CAIRO_OPERATOR_DEST_IN;
            break;
        case 12:
            if (!inLayer) return;
            op = CAIRO_OPERATOR_DEST_OUT;
            break;
        case 13:
            op = CAIRO_OPERATOR_OVERLAY;
            break;
        case 14:
            op = CAIRO_OPERATOR_HARD_LIGHT;
            break;
        default:
            break;
    }
    bool layer = instance.blendMode == 2;
    bool filtered = !instance.filters.empty();
    // Filters work in stage pixels; blurs and shadows reach that far beyond the object.
    double filterScaleX = stage_.a * 20, filterScaleY = stage_.d * 20;
    double reach = filtered ? filterReach(instance.filters, filterScaleX, filterScaleY) : 0;
    auto box = boundsOf(instance, m, nesting);
    Matrix placed = m;
    ColorTransform inside = cx, after = compose(cx, instance.colorTransform);
    if (filtered) {
        // A filtered object is drawn as a bitmap whose corner is its bounds' corner, put back on whole
        // pixels: the object moves by that rounding. Its colour transform applies to the filtered bitmap.
        if (box) {
            double dx = snapOffset(box->x0), dy = snapOffset(box->y0);
            placed.tx += dx;
            placed.ty += dy;
            *box = {box->x0 + dx, box->y0 + dy, box->x1 + dx, box->y1 + dy};
        }
        inside = ColorTransform{};
    }
    if (box) *box = {box->x0 - reach, box->y0 - reach, box->x1 + reach, box->y1 + reach};
    cairo_save(cr_);
    cairo_identity_matrix(cr_);
    clipTo(box);
    cairo_push_group(cr_);
    if (layer) ++layerDepth_;
    ColorTransform own = instance.colorTransform;
    if (filtered) instance.colorTransform = ColorTransform{};
    drawInstance(instance, placed, inside, nesting, false);
    instance.colorTransform = own;
    if (layer) --layerDepth_;
    cairo_pattern_t* group = cairo_pop_group(cr_);
    cairo_surface_t* pixels = nullptr;
    if (filtered && cairo_pattern_get_surface(group, &pixels) == CAIRO_STATUS_SUCCESS &&
        cairo_surface_get_type(pixels) == CAIRO_SURFACE_TYPE_IMAGE) {
        cairo_surface_flush(pixels);
        if (unsigned char* data = cairo_image_surface_get_data(pixels)) {
            applyFilters(instance.filters, data, cairo_image_surface_get_width(pixels),
                         cairo_image_surface_get_height(pixels), cairo_image_surface_get_stride(pixels), filterScaleX,
                         filterScaleY);
            cairo_surface_mark_dirty(pixels);
            if (!after.isIdentity()) {
                cairo_surface_t* tinted = transformedCopy(pixels, after);
                double ox = 0, oy = 0;
                cairo_surface_get_device_offset(pixels, &ox, &oy);
                cairo_surface_set_device_offset(tinted, ox, oy);
                cairo_pattern_destroy(group);
                group = cairo_pattern_create_for_surface(tinted);
                cairo_surface_destroy(tinted);
            }
        }
    }
    bool pixelBlend = instance.blendMode == 9 || instance.blendMode == 10;
    const std::optional<SeparableBlend> separable = separableBlendOf(instance.blendMode);
    cairo_surface_t* content = nullptr;
    const bool hasContent = cairo_pattern_get_surface(group, &content) == CAIRO_STATUS_SUCCESS;
    if (pixelBlend && hasContent) {
        blendPixels(cairo_get_group_target(cr_), content,
                    instance.blendMode == 9 ? PixelBlend::Subtract : PixelBlend::Invert);
    } else if (separable && hasContent && compositeSeparable(cairo_get_group_target(cr_), content, *separable)) {
        // Composited in one pass of our own: cairo's operator gives the same pixels, slower.
    } else {
        cairo_save(cr_);
        cairo_identity_matrix(cr_);
        cairo_set_source(cr_, group);
        cairo_set_operator(cr_, op);
        cairo_paint(cr_);
        cairo_restore(cr_);
    }
    cairo_restore(cr_);
    cairo_pattern_destroy(group);
}

}  // namespace flashgrab
