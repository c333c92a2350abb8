#include <gtest/gtest.h>

#include "command/command_line_split.h"
#include "command/command_text.h"

namespace torvane {
namespace {

using Args = std::vector<std::string>;

TEST(CommandText, ReplaceAllScansOnceLeftToRight) {
    EXPECT_EQ(replaceAll("{infile} {infile}", "{infile}", "a.avi"), "a.avi a.avi");
    EXPECT_EQ(replaceAll("x{infile}y", "{infile}", "{infile}"), "x{infile}y");  // not rescanned
    EXPECT_EQ(replaceAll("aaa", "aa", "a"), "aa");
    EXPECT_EQ(replaceAll("text", "", "x"), "text");
    EXPECT_EQ(replaceAll("{INFILE}", "{infile}", "x"), "{INFILE}");
}

TEST(CommandText, AppendOptionAlwaysWritesBothBlanks) {
    EXPECT_EQ(appendOption("ffmpeg", "", ""), "ffmpeg");
    EXPECT_EQ(appendOption("ffmpeg", "-b:v", "{vbitrate}k"), "ffmpeg -b:v {vbitrate}k");
    EXPECT_EQ(appendOption("ffmpeg", "-y", ""), "ffmpeg -y ");
    EXPECT_EQ(appendOption("ffmpeg", "", "\"in.avi\""), "ffmpeg  \"in.avi\"");
}

TEST(CommandText, QuotedTextSplitsBackIntoOneArgument) {
    for (const std::string path : {"/media/plain.avi", "/media/with blanks.avi", "/media/a\" -f mp4 \"x.avi",
                                   "/media/back\\slash\\", "/media/한글 파일.mp4", "/media/line\nfeed.avi", ""}) {
        const Args args = splitCommandLine("\"/usr/bin/ffmpeg\" -i " + quoted(path) + " -y " + quoted("/out/o.mp4"));
        ASSERT_EQ(args.size(), 5u) << path;
        EXPECT_EQ(args[0], "/usr/bin/ffmpeg");
        EXPECT_EQ(args[2], path);
        EXPECT_EQ(args[4], "/out/o.mp4");
    }
}

TEST(CommandText, SplitterRules) {
    EXPECT_EQ(splitCommandLine("  a   b\tc  "), (Args{"a", "b", "c"}));
    EXPECT_EQ(splitCommandLine("-ss 00:00:00.00 -t  5"), (Args{"-ss", "00:00:00.00", "-t", "5"}));
    // Quotes may sit inside an argument; the filter keeps its own backslashes.
    EXPECT_EQ(splitCommandLine("-vf \"movie=a\\:b.png [w];[in][w] overlay=5:5 [out]\""),
              (Args{"-vf", "movie=a\\:b.png [w];[in][w] overlay=5:5 [out]"}));
    EXPECT_EQ(splitCommandLine("x=\"a b\"c"), (Args{"x=a bc"}));
    EXPECT_EQ(splitCommandLine("\"\" end"), (Args{"", "end"}));
    EXPECT_EQ(splitCommandLine("C:\\path\\file"), (Args{"C:\\path\\file"}));
    EXPECT_EQ(splitCommandLine("\"unterminated arg"), (Args{"unterminated arg"}));
    EXPECT_EQ(splitCommandLine(""), Args{});
}

}  // namespace
}  // namespace torvane
