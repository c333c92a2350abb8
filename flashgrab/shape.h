#pragma once

#include <vector>

#include "flashgrab/bit_reader.h"
#include "flashgrab/styles.h"

namespace flashgrab {

// One shape record with absolute coordinates (twips), so morphs can interpolate positions directly.
struct ShapeRecord {
    enum class Type { StyleChange, Straight, Curve } type = Type::StyleChange;
    // StyleChange: -1 leaves a style unchanged; 0 means none; otherwise a 1-based index into the group.
    bool hasMove = false;
    int fill0 = -1, fill1 = -1, line = -1;
    bool newStyles = false;
    // The pen position after the record (the move target or the edge's anchor) and a curve's control.
    double x = 0, y = 0;
    double cx = 0, cy = 0;
};

struct Shape {
    Rect bounds;
    std::vector<StyleGroup> groups;  // groups[0] from the header, then one per "new styles" record
    std::vector<ShapeRecord> records;
    bool windingFill = false;  // DefineShape4's non-zero rule flag
};

// The records of a SHAPE or SHAPEWITHSTYLE after the style arrays; "new styles" records (shapeVersion >= 2)
// append to groups.
std::vector<ShapeRecord> readShapeRecords(BitReader& in, int shapeVersion, std::vector<StyleGroup>* groups);

// DefineShape 1-4 body after the character id.
Shape readShape(BitReader& in, int shapeVersion);

struct Point {
    double x = 0, y = 0;
};

struct Edge {
    Point from, control, to;
    bool curved = false;
};

using Contour = std::vector<Edge>;

struct StyledPath {
    int group = 0;
    int style = 0;  // 0-based index into the group's fills or lines
    std::vector<Contour> contours;
};

// What a shape draws, in drawing order: per style group its fills, then its lines.
struct ShapeGeometry {
    struct Layer {
        std::vector<StyledPath> fills;
        std::vector<StyledPath> lines;
    };
    std::vector<Layer> layers;
};

// Fill regions come from both sides of every edge: an edge is part of its fill1 region as drawn and of its
// fill0 region reversed; each region's edges are joined end to start into closed contours.
ShapeGeometry buildGeometry(const std::vector<ShapeRecord>& records, std::size_t groupCount);

}  // namespace flashgrab
