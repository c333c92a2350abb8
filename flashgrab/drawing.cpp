#include "flashgrab/drawing.h"

#include <algorithm>
#include <cmath>

namespace flashgrab {
namespace drawing {
namespace {

// A script may draw without end; past this many records further drawing is ignored.
constexpr std::size_t kMaxRecords = 200000;

void grow(Drawing& d, double x, double y) {
    Rect& b = d.shape.bounds;
    auto xi = static_cast<std::int32_t>(std::clamp(x, -1e9, 1e9));
    auto yi = static_cast<std::int32_t>(std::clamp(y, -1e9, 1e9));
    if (!d.hasBounds) {
        b = Rect{xi, xi, yi, yi};
        d.hasBounds = true;
        return;
    }
    b.xMin = std::min(b.xMin, xi);
    b.xMax = std::max(b.xMax, xi);
    b.yMin = std::min(b.yMin, yi);
    b.yMax = std::max(b.yMax, yi);
}

bool usable(double v) {
    return std::isfinite(v) && std::fabs(v) < 1e7;
}

StyleGroup& currentGroup(Drawing& d) {
    if (d.shape.groups.empty()) d.shape.groups.emplace_back();
    return d.shape.groups.back();
}

// Every style change opens a new group holding just the fill and line in force, at the pen.
void startGroup(Drawing& d, const FillStyle* fill, const LineStyle* line) {
    if (d.shape.records.size() >= kMaxRecords) return;
    StyleGroup group;
    if (fill) group.fills.push_back(*fill);
    if (line) group.lines.push_back(*line);
    d.shape.groups.push_back(std::move(group));
    ShapeRecord change;
    change.newStyles = d.shape.groups.size() > 1;
    change.hasMove = true;
    change.fill0 = 0;
    change.fill1 = fill ? 1 : 0;
    change.line = line ? 1 : 0;
    change.x = d.penX;
    change.y = d.penY;
    d.shape.records.push_back(change);
    d.changed = true;
}

const FillStyle* currentFill(Drawing& d) {
    StyleGroup& g = currentGroup(d);
    return d.filling && !g.fills.empty() ? &g.fills.front() : nullptr;
}

const LineStyle* currentLine(Drawing& d) {
    StyleGroup& g = currentGroup(d);
    return !g.lines.empty() ? &g.lines.front() : nullptr;
}

}  // namespace

void beginFill(Drawing& d, Rgba color) {
    if (d.filling) endFill(d);
    FillStyle fill;
    fill.color = color;
    LineStyle line;
    const LineStyle* current = currentLine(d);
    if (current) line = *current;
    d.filling = true;
    d.startX = d.penX;
    d.startY = d.penY;
    startGroup(d, &fill, current ? &line : nullptr);
}

void lineStyle(Drawing& d, double width, Rgba color) {
    FillStyle fill;
    const FillStyle* current = currentFill(d);
    if (current) fill = *current;
    if (width < 0 || !std::isfinite(width)) {
        startGroup(d, current ? &fill : nullptr, nullptr);
        return;
    }
    LineStyle line;
    line.width = std::min(width, 255.0) * 20;
    line.color = color;
    startGroup(d, current ? &fill : nullptr, &line);
}

void moveTo(Drawing& d, double x, double y) {
    if (!usable(x) || !usable(y) || d.shape.records.size() >= kMaxRecords) return;
    if (d.filling && (d.penX != d.startX || d.penY != d.startY)) lineTo(d, d.startX / 20, d.startY / 20);
    d.penX = d.startX = x * 20;
    d.penY = d.startY = y * 20;
    ShapeRecord move;
    move.hasMove = true;
    move.x = d.penX;
    move.y = d.penY;
    d.shape.records.push_back(move);
    d.changed = true;
}

void lineTo(Drawing& d, double x, double y) {
    if (!usable(x) || !usable(y) || d.shape.records.size() >= kMaxRecords) return;
    if (d.shape.records.empty()) startGroup(d, nullptr, nullptr);
    grow(d, d.penX, d.penY);
    ShapeRecord edge;
    edge.type = ShapeRecord::Type::Straight;
    edge.x = d.penX = x * 20;
    edge.y = d.penY = y * 20;
    grow(d, edge.x, edge.y);
    d.shape.records.push_back(edge);
    d.changed = true;
}

void curveTo(Drawing& d, double cx, double cy, double x, double y) {
    if (!usable(x) || !usable(y) || !usable(cx) || !usable(cy) || d.shape.records.size() >= kMaxRecords) return;
    if (d.shape.records.empty()) startGroup(d, nullptr, nullptr);
    grow(d, d.penX, d.penY);
    ShapeRecord edge;
    edge.type = ShapeRecord::Type::Curve;
    edge.cx = cx * 20;
    edge.cy = cy * 20;
    edge.x = d.penX = x * 20;
    edge.y = d.penY = y * 20;
    grow(d, edge.cx, edge.cy);
    grow(d, edge.x, edge.y);
    d.shape.records.push_back(edge);
    d.changed = true;
}

void endFill(Drawing& d) {
    if (!d.filling) return;
    // The fill closes with an edge that is not stroked.
    if (d.penX != d.startX || d.penY != d.startY) {
        LineStyle line;
        const LineStyle* current = currentLine(d);
        if (current) line = *current;
        if (current) {
            ShapeRecord change;
            change.line = 0;
            d.shape.records.push_back(change);
        }
        lineTo(d, d.startX / 20, d.startY / 20);
        if (current) {
            ShapeRecord change;
            change.line = 1;
            d.shape.records.push_back(change);
        }
    }
    d.filling = false;
    const LineStyle* current = currentLine(d);
    LineStyle line;
    if (current) line = *current;
    startGroup(d, nullptr, current ? &line : nullptr);
}

void clear(Drawing& d) {
    d = Drawing{};
    d.changed = true;
}

}  // namespace drawing

std::optional<Rect> boundsIn(const Instance& instance, const Matrix& m, const Movie& movie, int nesting) {
    if (nesting > kMaxNesting) return std::nullopt;
    std::optional<Rect> box;
    auto add = [&box, &m](const Rect& r) {
        for (auto [x, y] :
             {std::pair<double, double>{r.xMin, r.yMin}, {r.xMax, r.yMin}, {r.xMin, r.yMax}, {r.xMax, r.yMax}}) {
            auto dx = static_cast<std::int32_t>(std::clamp(m.a * x + m.c * y + m.tx, -1e9, 1e9));
            auto dy = static_cast<std::int32_t>(std::clamp(m.b * x + m.d * y + m.ty, -1e9, 1e9));
            if (!box)
                box = Rect{dx, dx, dy, dy};
            else
                box = Rect{std::min(box->xMin, dx), std::max(box->xMax, dx), std::min(box->yMin, dy),
                           std::max(box->yMax, dy)};
        }
    };
    if (instance.drawing && instance.drawing->hasBounds) add(instance.drawing->shape.bounds);
    if (instance.text) add(instance.text->field.bounds);
    auto found = movie.characters.find(instance.characterId);
    if (found != movie.characters.end()) {
        const Character& c = found->second;
        if (auto* shape = std::get_if<ShapeCharacter>(&c)) add(shape->shape.bounds);
        if (auto* edit = std::get_if<EditTextCharacter>(&c); edit && !instance.text) add(edit->field.bounds);
        if (auto* text = std::get_if<TextCharacter>(&c)) add(text->text.bounds);
        if (auto* bitmap = std::get_if<BitmapCharacter>(&c); bitmap && bitmap->image)
            add(Rect{0, bitmap->image->width * 20, 0, bitmap->image->height * 20});
    }
    if (instance.timeline) {
        for (const auto& [depth, child] : instance.timeline->children) {
            if (child.isMask) continue;
            auto inner = boundsIn(child, multiply(m, child.matrix), movie, nesting + 1);
            if (!inner) continue;
            if (!box)
                box = inner;
            else
                box = Rect{std::min(box->xMin, inner->xMin), std::max(box->xMax, inner->xMax),
                           std::min(box->yMin, inner->yMin), std::max(box->yMax, inner->yMax)};
        }
    }
    return box;
}

}  // namespace flashgrab
