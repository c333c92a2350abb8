#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <functional>

#include "flashgrab/frame_loop.h"
#include "swf_builder.h"

namespace flashgrab {
namespace {

using namespace flashgrab::test;

constexpr int kBlue = 1, kGreen = 2, kRed = 3;
// Action codes used below.
constexpr int kStop = 0x07, kNot = 0x12, kGetVariable = 0x1C, kSetVariable = 0x1D, kTrace = 0x26, kCallFunction = 0x3D,
              kReturn = 0x3E, kAdd2 = 0x47, kLess2 = 0x48, kSetMember = 0x4F, kIncrement = 0x50, kMultiply = 0x0C;

// Three 40x40 pixel squares at the stage's origin, blue, green and red.
std::vector<std::vector<std::uint8_t>> squares() {
    return {rectangleShape(kBlue, 0, 0, 800, 800, 0, 0, 255), rectangleShape(kGreen, 0, 0, 800, 800, 0, 255, 0),
            rectangleShape(kRed, 0, 0, 800, 800, 255, 0, 0)};
}

std::vector<std::vector<std::uint8_t>> with(std::vector<std::vector<std::uint8_t>> tags,
                                            const std::vector<std::vector<std::uint8_t>>& more) {
    tags.insert(tags.end(), more.begin(), more.end());
    return tags;
}

struct Played {
    std::vector<std::vector<std::uint8_t>> frames;  // BGR24, 100x50
    std::string trace;
};

Played play(const std::vector<std::uint8_t>& bytes) {
    Played out;
    auto file = parseSwf(bytes);
    EXPECT_TRUE(file);
    if (!file) return out;
    auto movie = buildMovie(std::move(*file));
    std::FILE* trace = std::tmpfile();
    playFrames(
        *movie, {100, 50}, Quality::Low, {},
        [&out](const std::uint8_t* data, std::size_t size) {
            out.frames.emplace_back(data, data + size);
            return true;
        },
        trace);
    std::rewind(trace);
    for (int c; (c = std::fgetc(trace)) != EOF;) out.trace.push_back(static_cast<char>(c));
    std::fclose(trace);
    return out;
}

// The colour at a pixel as R, G, B.
std::array<int, 3> at(const std::vector<std::uint8_t>& frame, int x, int y) {
    std::size_t i = (static_cast<std::size_t>(y) * 100 + x) * 3;
    return {frame[i + 2], frame[i + 1], frame[i]};
}

const std::array<int, 3> blue{0, 0, 255}, red{255, 0, 0}, white{255, 255, 255};

TEST(ActionScript, TimelineControlGoesToLabelsAndStops) {
    // The first frame jumps to the label of the third and stops there: every frame shows red.
    auto jumping =
        play(movie(100, 50, 3,
                   with(squares(), {placeObject(1, kBlue), doAction(Actions().gotoLabel("END").op(kStop)), showFrame(),
                                    removeObject(1), placeObject(1, kGreen), showFrame(), frameLabel("end"),
                                    removeObject(1), placeObject(1, kRed), showFrame()})));
    ASSERT_EQ(jumping.frames.size(), 3u);
    for (const auto& frame : jumping.frames) EXPECT_EQ(at(frame, 10, 10), red);

    // A clip of two frames stops itself on its second; without the stop it would loop back to blue.
    auto sprite = defineSprite(10, 2,
                               {placeObject(1, kBlue), showFrame(), removeObject(1), placeObject(1, kRed),
                                doAction(Actions().op(kStop)), showFrame()});
    auto stopping = play(movie(
        100, 50, 4, with(squares(), {sprite, placeObject(1, 10), showFrame(), showFrame(), showFrame(), showFrame()})));
    ASSERT_EQ(stopping.frames.size(), 4u);
    EXPECT_EQ(at(stopping.frames[0], 10, 10), blue);
    for (std::size_t i = 1; i < 4; ++i) EXPECT_EQ(at(stopping.frames[i], 10, 10), red) << "frame " << i + 1;

    // tellTarget("clip") { gotoAndStop(2) } from the root reaches into the named clip.
    auto told = play(movie(100, 50, 2,
                           with(squares(), {sprite, placeNamed(1, 10, "clip"),
                                            doAction(Actions().setTarget("clip").gotoFrame(1).op(kStop).setTarget("")),
                                            showFrame(), showFrame()})));
    ASSERT_EQ(told.frames.size(), 2u);
    EXPECT_EQ(at(told.frames[0], 10, 10), red);
    EXPECT_EQ(at(told.frames[1], 10, 10), red);
}

TEST(ActionScript, InitActionsRunOnceAheadOfTheirFrame) {
    // Frame 1: trace("frame 1"); gotoAndStop(2). Frame 2 holds an init action and a frame action: the
    // goto runs the init action first, each script once.
    auto initTag = [](int sprite, const Actions& actions) {
        std::vector<std::uint8_t> body{static_cast<std::uint8_t>(sprite), 0};
        auto code = actions.bytes();
        body.insert(body.end(), code.begin(), code.end());
        return tag(59, body);
    };
    auto played = play(movie(
        100, 50, 3,
        {defineSprite(10, 1, {showFrame()}), doAction(Actions().push("frame 1").op(kTrace).gotoFrame(1).op(kStop)),
         showFrame(), initTag(10, Actions().push("init").op(kTrace)), doAction(Actions().push("frame 2").op(kTrace)),
         showFrame(), showFrame()}));
    EXPECT_EQ(played.trace, "frame 1\ninit\nframe 2\n");
}

TEST(ActionScript, LoopCounterDrivesAClipProperty) {
    // i = 0; while (i < 10) i++; trace(i); box._x = i * 5;
    Actions script;
    script.push("i").push(0.0).op(kSetVariable);
    script.label("loop").push("i").op(kGetVariable).push(10.0).op(kLess2).op(kNot).ifTrue("done");
    script.push("i").push("i").op(kGetVariable).op(kIncrement).op(kSetVariable).jump("loop");
    script.label("done").push("i").op(kGetVariable).op(kTrace);
    script.push("box").op(kGetVariable).push("_x").push("i").op(kGetVariable).push(5.0).op(kMultiply).op(kSetMember);
    auto played =
        play(movie(100, 50, 1, with(squares(), {placeNamed(1, kBlue, "box"), doAction(script), showFrame()})));
    ASSERT_EQ(played.frames.size(), 1u);
    EXPECT_EQ(played.trace, "10\n");
    EXPECT_EQ(at(played.frames[0], 45, 10), white) << "the box left the origin";
    EXPECT_EQ(at(played.frames[0], 55, 10), blue) << "the box stands at x = 50";
    EXPECT_EQ(at(played.frames[0], 95, 10), white);
}

// PlaceObject2 moving the object at depth to (tx, ty) twips.
std::vector<std::uint8_t> moveObject(int depth, int tx, int ty) {
    BitWriter w;
    w.u8(0x05);
    w.u16(depth);
    translation(w, tx, ty);
    return tag(26, w.bytes());
}

TEST(ActionScript, TimelineNoLongerMovesAClipAScriptMoved) {
    // The timeline moves both clips back to the origin on frame 2; the one the script placed stays put.
    auto sprite = defineSprite(10, 1, {placeObject(1, kBlue), showFrame()});
    auto other = defineSprite(11, 1, {placeObject(1, kRed), showFrame()});
    Actions script;
    script.push("moved").op(kGetVariable).push("_x").push(50.0).op(kSetMember);
    auto played = play(movie(
        100, 50, 2,
        with(squares(), {sprite, other, placeNamed(1, 10, "moved", 0, 0), placeNamed(2, 11, "timed", 0, 900),
                         doAction(script), showFrame(), moveObject(1, 0, 0), moveObject(2, 0, 200), showFrame()})));
    ASSERT_EQ(played.frames.size(), 2u);
    EXPECT_EQ(at(played.frames[1], 55, 5), blue) << "the script's position holds";
    EXPECT_EQ(at(played.frames[1], 5, 5), white);
    EXPECT_EQ(at(played.frames[1], 5, 15), red) << "a clip no script touched follows the timeline";
}

TEST(ActionScript, DuplicatedClipsAreDrawnAndRemovable) {
    constexpr int kCloneSprite = 0x24, kRemoveSprite = 0x25;
    // duplicateMovieClip("box", "copy", 1); copy._x = 50; then a second copy, removed again.
    auto sprite = defineSprite(10, 1, {placeObject(1, kBlue), showFrame()});
    Actions script;
    script.push("box").push("copy").push(1.0).op(kCloneSprite);
    script.push("copy").op(kGetVariable).push("_x").push(50.0).op(kSetMember);
    script.push("box").push("gone").push(2.0).op(kCloneSprite).push("gone").op(kRemoveSprite);
    script.push("gone").op(kGetVariable).op(0x44).op(kTrace);  // typeof gone
    auto played =
        play(movie(100, 50, 1, with(squares(), {sprite, placeNamed(1, 10, "box"), doAction(script), showFrame()})));
    ASSERT_EQ(played.frames.size(), 1u);
    EXPECT_EQ(at(played.frames[0], 5, 5), blue);
    EXPECT_EQ(at(played.frames[0], 55, 5), blue) << "the copy stands where the script put it";
    EXPECT_EQ(played.trace, "undefined\n");
}

TEST(ActionScript, TextFieldsMadeByScriptsResizeTheirBox) {
    constexpr int kCallMethod = 0x52, kGetMember = 0x4E, kPop = 0x17;
    // tf = createTextField("tf", 1, 10, 10, 20, 20); tf.border = true; tf.borderColor = 0xFF0000;
    // tf._width = 60; trace(tf._width); trace(tf._xscale);
    Actions script;
    script.push(20.0).push(20.0).push(10.0).push(10.0).push(1.0).push("tf").push(6.0).push("_root").op(kGetVariable);
    script.push("createTextField").op(kCallMethod).op(kPop);
    script.push("tf").op(kGetVariable).push("border").push(1.0).op(kSetMember);
    script.push("tf").op(kGetVariable).push("borderColor").push(16711680.0).op(kSetMember);
    script.push("tf").op(kGetVariable).push("_width").push(60.0).op(kSetMember);
    script.push("tf").op(kGetVariable).push("_width").op(kGetMember).op(kTrace);
    script.push("tf").op(kGetVariable).push("_xscale").op(kGetMember).op(kTrace);
    auto played = play(movie(100, 50, 1, {doAction(script), showFrame()}));
    ASSERT_EQ(played.frames.size(), 1u);
    EXPECT_EQ(played.trace, "60\n100\n");
    EXPECT_EQ(at(played.frames[0], 10, 20), red) << "left border";
    EXPECT_EQ(at(played.frames[0], 70, 20), red) << "right border, 60 pixels on";
    EXPECT_EQ(at(played.frames[0], 40, 20), white) << "no background asked for";
}

TEST(ActionScript, MoviesBeforeSwf7NameThingsWithoutCase) {
    // Count = 5; trace(count); and the clip "Box" reached as "box".
    Actions script;
    script.push("Count").push(5.0).op(kSetVariable).push("count").op(kGetVariable).op(kTrace);
    script.push("box").op(kGetVariable).push("_x").push(50.0).op(kSetMember);
    auto sprite = defineSprite(10, 1, {placeObject(1, kBlue), showFrame()});
    auto tags = with(squares(), {sprite, placeNamed(1, 10, "Box"), doAction(script), showFrame()});
    auto old = play(movie(100, 50, 1, tags, 6));
    EXPECT_EQ(old.trace, "5\n");
    ASSERT_EQ(old.frames.size(), 1u);
    EXPECT_EQ(at(old.frames[0], 55, 5), blue);
    auto newer = play(movie(100, 50, 1, tags, 7));
    EXPECT_EQ(newer.trace, "undefined\n");
    ASSERT_EQ(newer.frames.size(), 1u);
    EXPECT_EQ(at(newer.frames[0], 5, 5), blue) << "SWF 7 names are exact: box is not Box";
}

TEST(ActionScript, RegisteredClassesGiveClipsTheirHandlers) {
    constexpr int kCallMethod = 0x52, kGetMember = 0x4E, kNewObject = 0x40, kPop = 0x17;
    // function Mover() { trace("made") }  Mover.prototype = new MovieClip();
    // Mover.prototype.onLoad = function () { trace("loaded") }
    // Mover.prototype.onEnterFrame = function () { this._x += 10 }
    // Object.registerClass("mover", Mover);  -- and frame 2 places the exported symbol.
    Actions constructor, onLoad, onEnterFrame, script;
    constructor.push("made").op(kTrace);
    onLoad.push("loaded").op(kTrace);
    onEnterFrame.push("this").op(kGetVariable).push("_x").push("this").op(kGetVariable).push("_x").op(kGetMember);
    onEnterFrame.push(10.0).op(kAdd2).op(kSetMember);
    script.function("Mover", {}, constructor);
    script.push("Mover").op(kGetVariable).push("prototype").push(0.0).push("MovieClip").op(kNewObject).op(kSetMember);
    script.push("Mover").op(kGetVariable).push("prototype").op(kGetMember).push("onLoad").function("", {}, onLoad);
    script.op(kSetMember);
    script.push("Mover").op(kGetVariable).push("prototype").op(kGetMember).push("onEnterFrame");
    script.function("", {}, onEnterFrame).op(kSetMember);
    script.push("Mover").op(kGetVariable).push("mover").push(2.0).push("Object").op(kGetVariable);
    script.push("registerClass").op(kCallMethod).op(kPop);
    std::vector<std::uint8_t> exportMover{1, 0, 10, 0, 'm', 'o', 'v', 'e', 'r', 0};
    auto played = play(movie(100, 50, 4,
                             with(squares(), {defineSprite(10, 1, {placeObject(1, kBlue), showFrame()}),
                                              tag(56, exportMover), doAction(script), showFrame(),
                                              placeNamed(1, 10, "m"), showFrame(), showFrame(), showFrame()})));
    ASSERT_EQ(played.frames.size(), 4u);
    EXPECT_EQ(played.trace, "made\nloaded\n");
    EXPECT_EQ(at(played.frames[1], 5, 5), blue) << "placed at the origin";
    EXPECT_EQ(at(played.frames[3], 5, 5), white) << "moved by its class's onEnterFrame";
    EXPECT_EQ(at(played.frames[3], 25, 5), blue);
}

// DefineEditText without a font: its box, the variable it shows and its first text.
std::vector<std::uint8_t> boundField(int id, const std::string& variable, const std::string& text) {
    BitWriter w;
    w.u16(id);
    rect(w, 0, 2000, 0, 400);
    w.u8(0x80);  // has text
    w.u8(0x00);
    for (char c : variable) w.u8(c);
    w.u8(0);
    for (char c : text) w.u8(c);
    w.u8(0);
    return tag(37, w.bytes());
}

TEST(ActionScript, TextFieldsShowTheVariableTheyAreBoundTo) {
    constexpr int kGetMember = 0x4E;
    // Frame 1: score = 5 (the field "tf" shows it); "greeting" is unset, so it takes its field's text.
    // Frame 2: trace(tf.text); trace(greeting); score = "ten"; frame 3: trace(tf.text).
    Actions first, second, third;
    first.push("score").push(5.0).op(kSetVariable);
    second.push("tf").op(kGetVariable).push("text").op(kGetMember).op(kTrace);
    second.push("greeting").op(kGetVariable).op(kTrace).push("score").push("ten").op(kSetVariable);
    third.push("tf").op(kGetVariable).push("text").op(kGetMember).op(kTrace);
    auto played = play(movie(100, 50, 3,
                             {boundField(20, "score", "0"), boundField(21, "_root.greeting", "hello"),
                              placeNamed(1, 20, "tf"), placeNamed(2, 21, "hi"), doAction(first), showFrame(),
                              doAction(second), showFrame(), doAction(third), showFrame()}));
    EXPECT_EQ(played.trace, "5\nhello\nten\n");
}

TEST(ActionScript, FunctionsTakeArgumentsAndReturn) {
    // function add(a, b) { return a + b }  function twice(x) { return x + x }  (x in a register)
    // trace(add(2, 3)); trace(twice(add(1, 2)));
    Actions add, twice, script;
    add.push("a").op(kGetVariable).push("b").op(kGetVariable).op(kAdd2).op(kReturn);
    twice.pushRegister(1).pushRegister(1).op(kAdd2).op(kReturn);
    script.function("add", {"a", "b"}, add).function("twice", {"x"}, twice, true);
    script.push(3.0).push(2.0).push(2.0).push("add").op(kCallFunction).op(kTrace);
    script.push(2.0).push(1.0).push(2.0).push("add").op(kCallFunction);
    script.push(1.0).push("twice").op(kCallFunction).op(kTrace);
    auto played = play(movie(100, 50, 1, {doAction(script), showFrame()}));
    EXPECT_EQ(played.trace, "5\n6\n");
}

TEST(ActionScript, LongMoviesKeepCallingFunctions) {
    // Every call makes objects (its locals, its arguments). 1,500 calls in each of 800 frames make far
    // more than the object cap; freeing the unreachable ones between frames keeps the last call working.
    Actions add, script;
    add.push("a").op(kGetVariable).push(1.0).op(kAdd2).op(kReturn);
    script.push("n").push(0.0).op(kSetVariable);
    script.label("loop").push("n").op(kGetVariable).push(1500.0).op(kLess2).op(kNot).ifTrue("done");
    script.push("n").push("n").op(kGetVariable).push(1.0).push("add").op(kCallFunction).op(kSetVariable);
    script.jump("loop");
    script.label("done");
    Actions check;
    check.push("n").op(kGetVariable).op(kTrace);
    std::vector<std::vector<std::uint8_t>> tags{doAction(Actions().function("add", {"a"}, add))};
    for (int frame = 0; frame < 800; ++frame) {
        tags.push_back(doAction(script));
        if (frame == 799) tags.push_back(doAction(check));
        tags.push_back(showFrame());
    }
    auto played = play(movie(10, 10, 800, tags));
    EXPECT_EQ(played.frames.size(), 800u);
    EXPECT_EQ(played.trace, "1500\n");
}

TEST(ActionScript, IntervalsRunOnTheMovieClock) {
    // At 24 frames a second: n = 0; id = setInterval(function () { n++ }, 100); setTimeout(once, 10);
    // frame 10: trace(n); clearInterval(id);  frame 20: trace(n).
    Actions bump, once, start, stopIt, show;
    bump.push("n").push("n").op(kGetVariable).op(kIncrement).op(kSetVariable);
    once.push("once").op(kTrace);
    start.push("n").push(0.0).op(kSetVariable);
    start.function("bump", {}, bump).function("once", {}, once);
    start.push("id").push(100.0).push("bump").op(kGetVariable).push(2.0).push("setInterval").op(kCallFunction);
    start.op(kSetVariable);
    start.push(10.0).push("once").op(kGetVariable).push(2.0).push("setTimeout").op(kCallFunction).op(0x17);
    show.push("n").op(kGetVariable).op(kTrace);
    stopIt.push("id").op(kGetVariable).push(1.0).push("clearInterval").op(kCallFunction).op(0x17);
    std::vector<std::vector<std::uint8_t>> tags{doAction(start), showFrame()};
    for (int frame = 2; frame <= 20; ++frame) {
        if (frame == 10 || frame == 20) tags.push_back(doAction(show));
        if (frame == 10) tags.push_back(doAction(stopIt));
        tags.push_back(showFrame());
    }
    auto played = play(movie(10, 10, 20, tags));
    // Due at 141.7, 241.7 and 341.7 ms: ticks 4, 6 and 9 of 41.7 ms each.
    EXPECT_EQ(played.trace, "once\n3\n3\n");
}

TEST(ActionScript, BuiltInsOfNumbersStringsArraysAndMath) {
    constexpr int kCallMethod = 0x52, kInitArray = 0x42;
    Actions script;
    // (255).toString(16)
    script.push(16.0).push(1.0).push(255.0).push("toString").op(kCallMethod).op(kTrace);
    // "flash".toUpperCase().substr(1, 3)
    script.push(3.0).push(1.0).push(2.0).push(0.0).push("flash").push("toUpperCase").op(kCallMethod);
    script.push("substr").op(kCallMethod).op(kTrace);
    // [3, 1, 2].sort().join("-")
    script.push("-").push(1.0).push(0.0).push(2.0).push(1.0).push(3.0).push(3.0).op(kInitArray);
    script.push("sort").op(kCallMethod).push("join").op(kCallMethod).op(kTrace);
    // Math.max(2, 7) + Math.floor(2.5)
    script.push(7.0).push(2.0).push(2.0).push("Math").op(kGetVariable).push("max").op(kCallMethod);
    script.push(2.5).push(1.0).push("Math").op(kGetVariable).push("floor").op(kCallMethod).op(kAdd2).op(kTrace);
    auto played = play(movie(10, 10, 1, {doAction(script), showFrame()}));
    EXPECT_EQ(played.trace, "ff\nLAS\n1-2-3\n9\n");
}

TEST(ActionScript, EndlessLoopEndsTheFrameNotTheMovie) {
    // Frame 1 loops forever; the step budget ends it, and frame 2 still draws and runs its script.
    auto played =
        play(movie(100, 50, 2,
                   with(squares(), {doAction(Actions().label("top").jump("top")), showFrame(), placeObject(1, kRed),
                                    doAction(Actions().push("after").op(kTrace)), showFrame()})));
    ASSERT_EQ(played.frames.size(), 2u);
    EXPECT_EQ(at(played.frames[1], 10, 10), red);
    EXPECT_EQ(played.trace, "after\n");

    // A function that calls itself without end is cut at the call depth, then the frame goes on.
    Actions recurse, script;
    recurse.push(0.0).push("again").op(kCallFunction).op(kReturn);
    script.function("again", {}, recurse).push(0.0).push("again").op(kCallFunction).push("survived").op(kTrace);
    auto deep = play(movie(100, 50, 1, {doAction(script), showFrame()}));
    EXPECT_EQ(deep.trace, "survived\n");
}

TEST(ActionScript, ClipEventsRunOnLoadAndEveryFrame) {
    // onClipEvent(load) { trace("load") }  onClipEvent(enterFrame) { _x += 10 }
    Actions load, enterFrame;
    load.push("load").op(kTrace);
    enterFrame.push("_x").push("_x").op(kGetVariable).push(10.0).op(kAdd2).op(kSetVariable);
    auto played = play(movie(100, 50, 3,
                             with(squares(), {defineSprite(10, 1, {placeObject(1, kBlue), showFrame()}),
                                              placeNamed(1, 10, "mover", 0, 0, {{0x01, load}, {0x02, enterFrame}}),
                                              showFrame(), showFrame(), showFrame()})));
    ASSERT_EQ(played.frames.size(), 3u);
    EXPECT_EQ(played.trace, "load\n");
    // Each later frame moves the clip 10 pixels right.
    EXPECT_EQ(at(played.frames[0], 5, 10), blue);
    EXPECT_EQ(at(played.frames[1], 5, 10), white);
    EXPECT_EQ(at(played.frames[1], 15, 10), blue);
    EXPECT_EQ(at(played.frames[2], 15, 10), white);
    EXPECT_EQ(at(played.frames[2], 25, 10), blue);
}

TEST(ActionScript, HostileScriptsAreBoundedAndPlayOn) {
    constexpr int kGetProperty = 0x22, kSetProperty = 0x23, kInitArray = 0x42, kPushDuplicate = 0x4C, kDivide = 0x0D,
                  kToString = 0x4B, kStringLength = 0x14, kPop = 0x17;
    // s = "ab"; 64 times s = s + s: the memory allowance stops the growth, not the machine's memory.
    Actions doubling;
    doubling.push("s").push("ab").op(kSetVariable).push("n").push(0.0).op(kSetVariable);
    doubling.label("loop").push("n").op(kGetVariable).push(64.0).op(kLess2).op(kNot).ifTrue("done");
    doubling.push("s").push("s").op(kGetVariable).push("s").op(kGetVariable).op(kAdd2).op(kSetVariable);
    doubling.push("n").push("n").op(kGetVariable).op(kIncrement).op(kSetVariable).jump("loop");
    doubling.label("done").push("s").op(kGetVariable).op(kStringLength).push(512.0 * 1024 * 1024).op(kLess2).op(kTrace);
    // A property index that is not a number (0 / 0) reads and writes nothing.
    Actions nanIndex;
    nanIndex.push("").push(0.0).push(0.0).op(kDivide).op(kGetProperty).op(kTrace);
    nanIndex.push("").push(0.0).push(0.0).op(kDivide).push(5.0).op(kSetProperty);
    // a = [1]; a[1] = a; a is printed without end? No: nested arrays print to a fixed depth.
    Actions cycle;
    cycle.push("a").push(1.0).push(1.0).op(kInitArray).op(kSetVariable);
    cycle.push("a").op(kGetVariable).push("1").push("a").op(kGetVariable).op(kSetMember);
    cycle.push("a").op(kGetVariable).op(kToString).op(kStringLength).push(100.0).op(kLess2).op(kTrace);
    // Pushing without end fills no more than the stack's bound.
    Actions flood;
    flood.push(1.0).label("again").op(kPushDuplicate).jump("again");
    auto played =
        play(movie(100, 50, 5,
                   {doAction(doubling), showFrame(), doAction(nanIndex), showFrame(), doAction(cycle), showFrame(),
                    doAction(flood), showFrame(), doAction(Actions().push("done").op(kTrace).op(kPop)), showFrame()}));
    EXPECT_EQ(played.frames.size(), 5u);
    EXPECT_EQ(played.trace, "true\nundefined\ntrue\ndone\n");
}

TEST(ActionScript, ScriptsMakingClipsWithoutEndAreBounded) {
    constexpr int kCallMethod = 0x52, kPop = 0x17;
    // Every frame: for (;;) createEmptyMovieClip("c", d++); the clips stop coming once the display
    // list holds its allowance, and the movie plays on.
    Actions script;
    script.label("again").push("d").push("d").op(kGetVariable).op(kIncrement).op(kSetVariable);
    script.push("d").op(kGetVariable).push("c").push(2.0).push("_root").op(kGetVariable);
    script.push("createEmptyMovieClip").op(kCallMethod).op(kPop).jump("again");
    std::vector<std::vector<std::uint8_t>> tags{doAction(Actions().push("d").push(0.0).op(kSetVariable))};
    for (int frame = 0; frame < 12; ++frame) {
        tags.push_back(doAction(script));
        tags.push_back(showFrame());
    }
    tags.push_back(doAction(Actions().push("end").op(kTrace)));
    tags.push_back(showFrame());
    auto played = play(movie(10, 10, 13, tags));
    EXPECT_EQ(played.frames.size(), 13u);
    EXPECT_EQ(played.trace, "end\n");
}

TEST(ActionScript, MalformedActionRecordsAreSkipped) {
    // Truncated records, unknown codes, a push of an unknown type, branches out of the block and a pop
    // from an empty stack: the movie plays on and the valid trace after them still runs.
    std::vector<std::uint8_t> garbage = {0x17, 0x17, 0xFF, 0x02, 0x00, 0x01, 0x02, 0x96, 0x02, 0x00, 0x0B, 0x00,
                                         0x99, 0x02, 0x00, 0xFF, 0x7F, 0x4E, 0x52, 0x3D, 0x40, 0x53, 0x21};
    auto tail = Actions().push("still here").op(kTrace).bytes();
    std::vector<std::uint8_t> first = garbage;
    first.resize(first.size() - 11);  // up to before the jump, so the trace after it runs
    first.insert(first.end(), tail.begin(), tail.end());
    std::vector<std::uint8_t> cut = tail;
    cut.resize(5);  // a push whose length runs past the tag
    // A branch to before the block's start ends the block.
    std::vector<std::uint8_t> backwards = {0x99, 0x02, 0x00, 0x00, 0x80};
    backwards.insert(backwards.end(), tail.begin(), tail.end());
    auto played = play(movie(100, 50, 4,
                             {tag(12, first), showFrame(), tag(12, garbage), showFrame(), tag(12, cut), showFrame(),
                              tag(12, backwards), showFrame()}));
    EXPECT_EQ(played.frames.size(), 4u);
    EXPECT_EQ(played.trace, "still here\n");
}

TEST(ActionScript, ClassChainsReachTheirParentsThroughSuper) {
    constexpr int kCallMethod = 0x52, kGetMember = 0x4E, kNewObject = 0x40, kExtends = 0x69, kPop = 0x17;
    // class C { function C() { this._x = 50; this.level = "C" }  function describe() { return this.level + ":C" } }
    // class B extends C { function B() { super(); this.level += "B" }  describe: super.describe() + "B" }
    // class A extends B { the same with "A", written with defineFunction2 and super in a register }
    // Object.registerClass("mover", A); o = new A(); trace(o.level); trace(o.describe());
    // and on frame 3 the same of the clip "m", placed from the exported symbol on frame 2.
    auto appendLevel = [](Actions& code, const std::function<void(Actions&)>& self, const std::string& letter) {
        self(code);
        code.push("level");
        self(code);
        code.push("level").op(kGetMember).push(letter).op(kAdd2).op(kSetMember);
    };
    auto thisVariable = [](Actions& code) { code.push("this").op(kGetVariable); };
    auto thisRegister = [](Actions& code) { code.pushRegister(1); };
    Actions constructC, constructB, constructA, describeC, describeB, describeA, script;
    constructC.push("this").op(kGetVariable).push("_x").push(50.0).op(kSetMember);
    constructC.push("this").op(kGetVariable).push("level").push("C").op(kSetMember);
    // super() as compiled: the super object called as a method without a name.
    constructB.push(0.0).push("super").op(kGetVariable).pushUndefined().op(kCallMethod).op(kPop);
    appendLevel(constructB, thisVariable, "B");
    constructA.push(0.0).pushRegister(2).pushUndefined().op(kCallMethod).op(kPop);  // this in r1, super in r2
    appendLevel(constructA, thisRegister, "A");
    describeC.push("this").op(kGetVariable).push("level").op(kGetMember).push(":C").op(kAdd2).op(kReturn);
    describeB.push(0.0).push("super").op(kGetVariable).push("describe").op(kCallMethod).push("B").op(kAdd2);
    describeB.op(kReturn);
    describeA.push(0.0).pushRegister(1).push("describe").op(kCallMethod).push("A").op(kAdd2).op(kReturn);
    constexpr int kPreloadThis = 0x01, kSuppressArguments = 0x08, kPreloadSuper = 0x10;
    script.function("C", {}, constructC).function("B", {}, constructB);
    script.function2("A", 3, kPreloadThis | kSuppressArguments | kPreloadSuper, constructA);
    script.push("B").op(kGetVariable).push("C").op(kGetVariable).op(kExtends);
    script.push("A").op(kGetVariable).push("B").op(kGetVariable).op(kExtends);
    auto setDescribe = [&script](const std::string& owner) {
        script.push(owner).op(kGetVariable).push("prototype").op(kGetMember).push("describe");
    };
    setDescribe("C");
    script.function("", {}, describeC).op(kSetMember);
    setDescribe("B");
    script.function("", {}, describeB).op(kSetMember);
    setDescribe("A");
    script.function2("", 2, kPreloadSuper, describeA).op(kSetMember);
    script.push("A").op(kGetVariable).push("mover").push(2.0).push("Object").op(kGetVariable);
    script.push("registerClass").op(kCallMethod).op(kPop);
    script.push("o").push(0.0).push("A").op(kNewObject).op(kSetVariable);
    auto show = [](const std::string& object) {
        Actions code;
        code.push(object).op(kGetVariable).push("level").op(kGetMember).op(kTrace);
        code.push(0.0).push(object).op(kGetVariable).push("describe").op(kCallMethod).op(kTrace);
        return code;
    };
    std::vector<std::uint8_t> exportMover{1, 0, 10, 0, 'm', 'o', 'v', 'e', 'r', 0};
    auto played = play(movie(100, 50, 3,
                             with(squares(), {defineSprite(10, 1, {placeObject(1, kBlue), showFrame()}),
                                              tag(56, exportMover), doAction(script), doAction(show("o")), showFrame(),
                                              placeNamed(1, 10, "m"), showFrame(), doAction(show("m")), showFrame()})));
    // Each constructor ran once, grandparent first; each describe reached its own parent's, on this.
    EXPECT_EQ(played.trace, "CBA\nCBA:CBA\nCBA\nCBA:CBA\n");
    ASSERT_EQ(played.frames.size(), 3u);
    EXPECT_EQ(at(played.frames[2], 5, 5), white) << "the grandparent's constructor moved the clip";
    EXPECT_EQ(at(played.frames[2], 55, 5), blue);
}

TEST(ActionScript, ThrowsUnwindToTheNearestTry) {
    constexpr int kThrow = 0x2A, kGetMember = 0x4E, kNewObject = 0x40, kEquals2 = 0x49, kPop = 0x17;
    // function inner(v) { throw "bad " + v }  function outer(v) { inner(v); trace("not reached") }
    // function cleanup() { try { return "from try" } finally { trace("cleanup") } }
    Actions inner, outer, cleanup, script, next;
    inner.push("bad ").push("v").op(kGetVariable).op(kAdd2).op(kThrow);
    outer.push("v").op(kGetVariable).push(1.0).push("inner").op(kCallFunction).op(kPop);
    outer.push("not reached").op(kTrace);
    cleanup.tryAction("t", "", "f", "").push("from try").op(kReturn).label("t");
    cleanup.push("cleanup").op(kTrace).label("f");
    script.function("inner", {"v"}, inner).function("outer", {"v"}, outer).function("cleanup", {}, cleanup);
    // try { outer(1); trace("not reached") } catch (e) { trace("caught " + e) } finally { trace("finally") }
    script.tryAction("t1", "c1", "f1", "e").push(1.0).push(1.0).push("outer").op(kCallFunction).op(kPop);
    script.push("not reached").op(kTrace).label("t1");
    script.push("caught ").push("e").op(kGetVariable).op(kAdd2).op(kTrace).label("c1");
    script.push("finally").op(kTrace).label("f1");
    script.push(0.0).push("cleanup").op(kCallFunction).op(kTrace);
    // for (i = 0; i < 3; i++) try { if (i == 1) continue; trace("body " + i) } finally { trace("after " + i) }
    script.push("i").push(0.0).op(kSetVariable);
    script.label("loop").push("i").op(kGetVariable).push(3.0).op(kLess2).op(kNot).ifTrue("done");
    script.tryAction("t2", "", "f2", "").push("i").op(kGetVariable).push(1.0).op(kEquals2).ifTrue("step");
    script.push("body ").push("i").op(kGetVariable).op(kAdd2).op(kTrace).label("t2");
    script.push("after ").push("i").op(kGetVariable).op(kAdd2).op(kTrace).label("f2");
    script.label("step").push("i").push("i").op(kGetVariable).op(kIncrement).op(kSetVariable).jump("loop");
    script.label("done");
    // try { try { throw new Error("deep") } finally { trace("inner finally") } } catch (r1) { trace(r1.message) }
    script.tryAction("t3", "c3", "", "", 1).tryAction("t4", "", "f4", "");
    script.push("deep").push(1.0).push("Error").op(kNewObject).op(kThrow).label("t4");
    script.push("inner finally").op(kTrace).label("f4").label("t3");
    script.pushRegister(1).push("message").op(kGetMember).op(kTrace).label("c3");
    // A throw nothing catches ends this script only: the frame's next one runs, and so does the next frame.
    script.push("uncaught").op(kTrace).push(2.0).push(1.0).push("inner").op(kCallFunction);
    script.push("not reached").op(kTrace);
    next.push("next script").op(kTrace);
    auto played = play(movie(
        10, 10, 2,
        {doAction(script), doAction(next), showFrame(), doAction(Actions().push("frame 2").op(kTrace)), showFrame()}));
    EXPECT_EQ(played.trace,
              "caught bad 1\nfinally\ncleanup\nfrom try\nbody 0\nafter 0\nafter 1\nbody 2\nafter 2\n"
              "inner finally\ndeep\nuncaught\nnext script\nframe 2\n");
}

TEST(ActionScript, HostileTryRecordsAreBounded) {
    constexpr int kThrow = 0x2A, kPop = 0x17;
    // A try whose sizes run far past its block: its try block runs to the block's end, and what it throws
    // is caught by the empty catch block there.
    Actions pastTheEnd;
    pastTheEnd.record(0x8F, {0x03, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'e', 0});
    pastTheEnd.push("in try").op(kTrace).push(1.0).op(kThrow).push("after throw").op(kTrace);
    // try { try { throw 1 } finally { throw 2 } } catch (e) { trace(e) }: the finally's throw wins.
    Actions finallyThrows;
    finallyThrows.tryAction("t1", "c1", "", "e").tryAction("t2", "", "f2", "");
    finallyThrows.push(1.0).op(kThrow).label("t2").push(2.0).op(kThrow).label("f2").label("t1");
    finallyThrows.push("e").op(kGetVariable).op(kTrace).label("c1");
    // 200 tries nested in one another: past the nesting bound the next one fails like a throw.
    Actions nested;
    for (int k = 0; k < 200; ++k) nested.record(0x8F, {0x02, 0xFF, 0xFF, 0, 0, 0, 0, 0});
    nested.push("too deep").op(kTrace);
    // A catch block that branches back to its try runs until the step budget ends the frame; a try record
    // cut short is skipped.
    Actions loop;
    loop.label("top").tryAction("t", "c", "", "e").push(0.0).op(kThrow).label("t").jump("top").label("c");
    std::vector<std::uint8_t> cut = {0x8F, 0x03, 0x00, 0x01, 0x05, 0x00};
    auto tail = Actions().push("after cut").op(kTrace).bytes();
    cut.insert(cut.end(), tail.begin(), tail.end());
    // function f() { try { f() } finally { throw "x" } }: every level of the call depth throws again.
    Actions recurse, deep;
    recurse.tryAction("t", "", "f", "").push(0.0).push("f").op(kCallFunction).op(kPop).label("t");
    recurse.push("x").op(kThrow).label("f");
    deep.function("f", {}, recurse).push(0.0).push("f").op(kCallFunction).push("not reached").op(kTrace);
    auto played = play(movie(10, 10, 5,
                             {doAction(pastTheEnd), doAction(finallyThrows), showFrame(), doAction(nested), showFrame(),
                              doAction(loop), showFrame(), tag(12, cut), doAction(deep), showFrame(),
                              doAction(Actions().push("done").op(kTrace)), showFrame()}));
    EXPECT_EQ(played.frames.size(), 5u);
    EXPECT_EQ(played.trace, "in try\n2\nafter cut\ndone\n");
}

}  // namespace
}  // namespace flashgrab
