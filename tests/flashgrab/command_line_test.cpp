#include <gtest/gtest.h>

#include "flashgrab/command_line.h"

namespace flashgrab {
namespace {

TEST(CommandLine, ReadsTheOptionsTheConverterWrites) {
    Options o = parseCommandLine("-file \"/home/a/MOVIE~1.SWF\" -p 7 -w 550 -h 400");
    EXPECT_EQ(o.moviePath, "/home/a/MOVIE~1.SWF");
    EXPECT_EQ(o.pipeId, "7");
    EXPECT_EQ(o.width, "550");
    EXPECT_EQ(o.height, "400");
    EXPECT_EQ(o.quality, Quality::High);
}

TEST(CommandLine, SplitsAtEveryDashAndBlank) {
    // A dash inside a value cuts it: that is why the converter passes short paths.
    EXPECT_EQ(parseCommandLine("-file /tmp/my-movie.swf -w 1 -h 1").moviePath, "/tmp/my");
    // Words after the value are ignored; repeated blanks make no empty words.
    Options o = parseCommandLine("  -w   320 extra  words -h\t240 ");
    EXPECT_EQ(o.width, "320");
    EXPECT_EQ(o.height, "") << "a tab does not separate the option from its value";
}

TEST(CommandLine, TrimsTabsAndLineEndsFromValues) {
    Options o = parseCommandLine("-w 320\r\n -h 240\t");
    EXPECT_EQ(o.width, "320");
    EXPECT_EQ(o.height, "240");
}

TEST(CommandLine, LaterOccurrencesWinAndUnknownOptionsAreIgnored) {
    Options o = parseCommandLine("-w 100 -x 5 -w 200 -h 50 -q low -q high -q low");
    EXPECT_EQ(o.width, "200");
    EXPECT_EQ(o.quality, Quality::Low);
    EXPECT_EQ(parseCommandLine("-q low -q high").quality, Quality::High);
    EXPECT_EQ(parseCommandLine("-q medium").quality, Quality::High);
}

TEST(CommandLine, TraceIsASwitchAnywhereOnTheLine) {
    EXPECT_FALSE(parseCommandLine("-file a.swf -w 1 -h 1").trace);
    Options o = parseCommandLine("-file a.swf -trace -w 320 -h 240");
    EXPECT_TRUE(o.trace);
    EXPECT_EQ(o.moviePath, "a.swf");
    EXPECT_EQ(o.width, "320");
    EXPECT_TRUE(parseCommandLine("-w 1 -h 1 -trace\n").trace);
    EXPECT_FALSE(parseCommandLine("-tracer -w 1").trace);
}

TEST(CommandLine, PiecesWithoutValueAreIgnored) {
    Options o = parseCommandLine("-w -h 240 -p -file");
    EXPECT_EQ(o.width, "");
    EXPECT_EQ(o.height, "240");
    EXPECT_EQ(o.pipeId, "");
    EXPECT_EQ(o.moviePath, "");
    EXPECT_EQ(parseCommandLine("").moviePath, "");
}

TEST(CommandLine, QuotesAroundThePathAreRemoved) {
    EXPECT_EQ(parseCommandLine("-file \"a.swf\"").moviePath, "a.swf");
    EXPECT_EQ(parseCommandLine("-file \"a.swf").moviePath, "a.swf");
    EXPECT_EQ(parseCommandLine("-file \"\"").moviePath, "");
}

TEST(CommandLine, FrameSizeMustBeAPositiveNumberWeCanAllocate) {
    auto size = [](const char* w, const char* h) {
        Options o;
        o.width = w;
        o.height = h;
        return frameSizeOf(o);
    };
    ASSERT_TRUE(size("550", "400"));
    EXPECT_EQ(size("550", "400")->width, 550);
    EXPECT_FALSE(size("0", "400"));
    EXPECT_FALSE(size("-5", "400"));
    EXPECT_FALSE(size("55O", "400"));
    EXPECT_FALSE(size("", "400"));
    EXPECT_FALSE(size("99999999999", "400"));
    EXPECT_FALSE(size("16384", "16384")) << "a quarter of a gigapixel per frame is refused";
    EXPECT_TRUE(size("16384", "1"));
}

}  // namespace
}  // namespace flashgrab

namespace flashgrab {
namespace {

TEST(Arguments, EachValueIsTakenWholeSoAnyPathWorks) {
    const Options o = parseArguments({"-file", "/home/a/my movie - final -w 9.swf", "-p", "7", "-w", "550", "-h", "400",
                                      "-from", "49", "-to", "72"});
    EXPECT_EQ(o.moviePath, "/home/a/my movie - final -w 9.swf");
    EXPECT_EQ(o.pipeId, "7");
    EXPECT_EQ(o.width, "550");
    EXPECT_EQ(o.height, "400");
    EXPECT_EQ(o.firstFrame, 49);
    EXPECT_EQ(o.lastFrame, 72);
    // A value that starts with a dash is still the value; a frame that is no number is left out.
    EXPECT_EQ(parseArguments({"-file", "-odd.swf", "-from", "x", "-to", "0"}).moviePath, "-odd.swf");
    EXPECT_EQ(parseArguments({"-file", "-odd.swf", "-from", "x", "-to", "0"}).firstFrame, 1);
    EXPECT_EQ(parseArguments({"-file", "-odd.swf", "-from", "x", "-to", "0"}).lastFrame, 0);
    EXPECT_TRUE(parseArguments({"-file", "a.swf", "-trace", "-w", "1"}).trace);
    EXPECT_EQ(parseArguments({"-file", "a.swf", "-trace", "-w", "1"}).width, "1");
    EXPECT_FALSE(parseArguments({"-file", "-trace"}).trace) << "a value, not the switch";
    // The whole line in one argument is read the older way.
    const Options joined = parseArguments({"-file a.swf -p 3 -w 32 -h 24 -from 5"});
    EXPECT_EQ(joined.moviePath, "a.swf");
    EXPECT_EQ(joined.height, "24");
    EXPECT_EQ(joined.firstFrame, 5);
}

}  // namespace
}  // namespace flashgrab
