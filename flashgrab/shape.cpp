#include "flashgrab/shape.h"

#include <map>
#include <utility>

namespace flashgrab {

std::vector<ShapeRecord> readShapeRecords(BitReader& in, int shapeVersion, std::vector<StyleGroup>* groups) {
    std::vector<ShapeRecord> records;
    in.align();
    int fillBits = static_cast<int>(in.ub(4));
    int lineBits = static_cast<int>(in.ub(4));
    double x = 0, y = 0;
    while (in.ok()) {
        ShapeRecord r;
        if (in.ub(1) == 0) {
            int flags = static_cast<int>(in.ub(5));
            if (flags == 0 || !in.ok()) break;
            r.type = ShapeRecord::Type::StyleChange;
            if (flags & 1) {
                int bits = static_cast<int>(in.ub(5));
                x = in.sb(bits);
                y = in.sb(bits);
                r.hasMove = true;
            }
            if (flags & 2) r.fill0 = static_cast<int>(in.ub(fillBits));
            if (flags & 4) r.fill1 = static_cast<int>(in.ub(fillBits));
            if (flags & 8) r.line = static_cast<int>(in.ub(lineBits));
            if ((flags & 16) && shapeVersion >= 2 && groups) {
                groups->push_back(readStyleGroup(in, shapeVersion));
                r.newStyles = true;
                fillBits = static_cast<int>(in.ub(4));
                lineBits = static_cast<int>(in.ub(4));
            } else if (flags & 16) {
                // Style arrays are only allowed from DefineShape2 on; the rest cannot be trusted.
                break;
            }
        } else if (in.ub(1) == 1) {
            int bits = static_cast<int>(in.ub(4)) + 2;
            r.type = ShapeRecord::Type::Straight;
            if (in.ub(1)) {
                x += in.sb(bits);
                y += in.sb(bits);
            } else if (in.ub(1)) {
                y += in.sb(bits);
            } else {
                x += in.sb(bits);
            }
        } else {
            int bits = static_cast<int>(in.ub(4)) + 2;
            r.type = ShapeRecord::Type::Curve;
            x += in.sb(bits);
            y += in.sb(bits);
            r.cx = x;
            r.cy = y;
            x += in.sb(bits);
            y += in.sb(bits);
        }
        if (!in.ok()) break;
        r.x = x;
        r.y = y;
        records.push_back(r);
    }
    return records;
}

Shape readShape(BitReader& in, int shapeVersion) {
    Shape shape;
    shape.bounds = readRect(in);
    if (shapeVersion == 4) {
        readRect(in);  // edge bounds
        int flags = in.u8();
        shape.windingFill = (flags & 4) != 0;
    }
    shape.groups.push_back(readStyleGroup(in, shapeVersion));
    if (!in.ok()) return shape;
    shape.records = readShapeRecords(in, shapeVersion, &shape.groups);
    return shape;
}

namespace {

using Key = std::pair<double, double>;

Edge reversed(const Edge& e) {
    return {e.to, e.control, e.from, e.curved};
}

// Joins directed edges into contours by following each end point to an unused edge starting there.
std::vector<Contour> joinEdges(const std::vector<Edge>& edges) {
    std::multimap<Key, std::size_t> byStart;
    for (std::size_t i = 0; i < edges.size(); ++i) byStart.emplace(Key{edges[i].from.x, edges[i].from.y}, i);
    std::vector<bool> used(edges.size(), false);
    std::vector<Contour> contours;
    for (std::size_t first = 0; first < edges.size(); ++first) {
        if (used[first]) continue;
        Contour contour;
        std::size_t current = first;
        Point start = edges[first].from;
        for (;;) {
            used[current] = true;
            contour.push_back(edges[current]);
            const Point& end = edges[current].to;
            if (end.x == start.x && end.y == start.y) break;
            auto range = byStart.equal_range(Key{end.x, end.y});
            std::size_t next = edges.size();
            for (auto it = range.first; it != range.second; ++it) {
                if (!used[it->second]) {
                    next = it->second;
                    byStart.erase(it);
                    break;
                }
            }
            if (next == edges.size()) break;
            current = next;
        }
        contours.push_back(std::move(contour));
    }
    return contours;
}

}  // namespace

ShapeGeometry buildGeometry(const std::vector<ShapeRecord>& records, std::size_t groupCount) {
    struct GroupEdges {
        std::map<int, std::vector<Edge>> fills;
        std::map<int, std::vector<Contour>> lines;
    };
    std::vector<GroupEdges> groups(std::max<std::size_t>(groupCount, 1));
    std::size_t group = 0;
    int fill0 = 0, fill1 = 0, line = 0;
    Point pen;
    bool lineContinues = false;
    for (const ShapeRecord& r : records) {
        if (r.type == ShapeRecord::Type::StyleChange) {
            if (r.newStyles) {
                group = std::min(group + 1, groups.size() - 1);
                fill0 = fill1 = line = 0;
            }
            if (r.fill0 >= 0) fill0 = r.fill0;
            if (r.fill1 >= 0) fill1 = r.fill1;
            if (r.line >= 0) line = r.line;
            if (r.hasMove) pen = {r.x, r.y};
            lineContinues = false;
            continue;
        }
        Edge e;
        e.from = pen;
        e.to = {r.x, r.y};
        e.curved = r.type == ShapeRecord::Type::Curve;
        e.control = e.curved ? Point{r.cx, r.cy} : e.from;
        pen = e.to;
        GroupEdges& g = groups[group];
        if (fill1 > 0) g.fills[fill1 - 1].push_back(e);
        if (fill0 > 0) g.fills[fill0 - 1].push_back(reversed(e));
        if (line > 0) {
            auto& contours = g.lines[line - 1];
            if (!lineContinues || contours.empty()) contours.emplace_back();
            contours.back().push_back(e);
            lineContinues = true;
        }
    }
    ShapeGeometry geometry;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        ShapeGeometry::Layer layer;
        for (auto& [style, edges] : groups[i].fills)
            layer.fills.push_back({static_cast<int>(i), style, joinEdges(edges)});
        for (auto& [style, contours] : groups[i].lines)
            layer.lines.push_back({static_cast<int>(i), style, std::move(contours)});
        geometry.layers.push_back(std::move(layer));
    }
    return geometry;
}

}  // namespace flashgrab
