// A CIF reader that follows the language's grammar: symbol definitions and
// calls with their transformations, scale factors, polygons and wires. It
// places every instance and hands back, per layer, the union of the layer's
// shapes cut into non-overlapping axis-aligned boxes.
//
// The result is a plain value; nothing here touches a file or a stream.
// flatten_stage.h turns it into the layer polygon files of a run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/geometry.h"

namespace cifread {

// Coordinates of the result are in halves of a CIF unit, so that the boxes
// of odd size, whose edges fall on halves, stay exact.
using HalfBox = common::Rect64;

struct LayerBoxes {
    std::string name;
    // Non-overlapping boxes whose union is the layer, sorted by (ymin, xmin).
    // The cut depends only on the region: maximal x runs per band between
    // consecutive y edges, a box carried upwards while its run stays the same.
    std::vector<HalfBox> boxes;
};

// A message about the input; line 0 when it names no line.
struct Diagnostic {
    long line = 0;
    std::string text;
    bool operator==(const Diagnostic&) const = default;
};

struct FlatLayout {
    // Every layer named by a layer command, in the order of first mention
    // (also those left with no box).
    std::vector<LayerBoxes> layers;
    std::vector<Diagnostic> warnings;
    bool has_end = false;
    // What follows the 'E' of the end command on its line, as the byte
    // scanner copies it: at most 99 bytes, up to and with the line feed.
    std::string end_rest;
};

// Bounds that keep hostile input from exhausting memory or time.
struct ReadLimits {
    // Boxes that all placed instances together may make before the union.
    std::uint64_t max_placed_boxes = 5'000'000;
    // Symbol instances that place anything, all levels together.
    std::uint64_t max_instances = 20'000'000;
    // Steps the polygon and layer sweeps may take in all.
    std::uint64_t max_sweep_steps = 400'000'000;
};

struct ReadResult {
    bool ok = false;
    Diagnostic error;  // when !ok
    FlatLayout layout;  // when ok
};

ReadResult read_layout(std::string_view text, const ReadLimits& limits = {});

// Cheap look at a CIF text, command by command: true when it holds a symbol
// definition (DS n) or a call (C n) before its end command. Feed the text in
// pieces of any size.
class SymbolDetector {
public:
    void feed(const char* data, std::size_t size);
    bool found() const { return found_; }
    bool done() const { return found_ || ended_; }

private:
    enum class State { CommandStart, AfterD, AfterCall, AfterDefinition, InCommand, InExtension, Comment };
    State state_ = State::CommandStart;
    State after_comment_ = State::CommandStart;
    long comment_depth_ = 0;
    bool found_ = false;
    bool ended_ = false;
};

}  // namespace cifread
