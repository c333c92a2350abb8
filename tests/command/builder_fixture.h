#pragma once

#include <gtest/gtest.h>

#include <optional>

#include "command/command_context.h"
#include "media/source_item.h"
#include "settings/encode_settings.h"
#include "settings/format_catalogue.h"
#include "settings/option_store.h"
#include "support/test_support.h"

namespace torvane::test {

// A small catalogue, settings of defaults with a few changes, a 1280x720 source and a context
// whose folders all live in a temporary folder.
class BuilderTest : public ::testing::Test {
protected:
    BuilderTest() {
        writeFile(
            folder_ / "torvane.ini",
            "[config]\ncontainer=mp4,avi,mp3,mkv\n"
            "[container_mp4]\nkind=mp4\nfile_ext=mp4\nopt_of=-of lavf\nopt_of2=-f mp4\nuse_video=y\n"
            "able_vcodec=h264,copy\nuse_audio=y\nable_acodec=aac,copy\n"
            "[container_avi]\nkind=avi\nfile_ext=.avi\nopt_of=-of avi\nopt_of2=-f avi\nuse_video=y\n"
            "able_vcodec=xvid,copy\nuse_audio=y\nable_acodec=mp3\n"
            "[container_mp3]\nkind=mp3\nfile_ext=mp3\nopt_of2=-f mp3\nuse_audio=y\nable_acodec=mp3\n"
            "[container_mkv]\nkind=mkv\nfile_ext=.\nopt_of2=-f matroska\nuse_video=y\nable_vcodec=h264\n"
            "use_audio=y\nable_acodec=aac\n"
            "[vcodec_h264]\nparam2=-c:v libx264 -b:v {vbitrate}k\n"
            "[vcodec_xvid]\nparam=-ovc xvid -xvidencopts bitrate={vbitrate}\nparam2=-c:v libxvid -b:v {vbitrate}k\n"
            "[vcodec_copy]\nparam=-ovc copy\nparam2=-c:v copy\n"
            "[acodec_aac]\nparam2=-c:a aac -b:a {abitrate}k\n"
            "[acodec_copy]\nparam=-oac copy\nparam2=-c:a copy\n"
            "[acodec_mp3]\nparam=-oac mp3lame -lameopts cbr:br={abitrate}\nparam2=-c:a libmp3lame -b:a {abitrate}k\n");
        EXPECT_TRUE(catalogue_.loadCatalogue(folder_ / "torvane.ini"));
        writeFile(folder_ / "empty.ini", "");
        EXPECT_TRUE(settings_.loadProfile(folder_ / "empty.ini"));
        settings_.container = "mp4";
        settings_.video_codec = "h264";
        settings_.audio_codec = "aac";
        settings_.sub_use = "n";
        writeFile(folder_ / "in/movie.avi", "source");
        item_.sourcePath = folder_ / "in/movie.avi";
        item_.media.videoWidth = "1280";
        item_.media.videoHeight = "720";
        item_.media.videoFrameRate = "25.000";
        options_.emplace(folder_ / "config");
        context_.catalogue = &catalogue_;
        context_.options = &*options_;
        context_.placeholders.programFolder = folder_ / "program";
        context_.placeholders.tempFolder = "/tmp/";
        context_.placeholders.subtitleFontFolder = folder_ / "program/mplayer";
        context_.placeholders.cpuCount = 2;
        context_.ffmpegPath = "/usr/bin/ffmpeg";
        context_.mencoderPath = "/usr/bin/mencoder";
        context_.cacheFolder = folder_ / "cache";
        context_.output.folder = folder_ / "out";
    }

    bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

    TempFolder folder_;
    FormatCatalogue catalogue_;
    EncodeSettings settings_;
    SourceItem item_;
    std::optional<OptionStore> options_;
    CommandContext context_;
};

}  // namespace torvane::test
