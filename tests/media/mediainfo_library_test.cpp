#include <gtest/gtest.h>

#include <thread>

#include "media/media_query.h"
#include "media/mediainfo_library.h"
#include "support/test_support.h"

namespace torvane {
namespace {

TEST(MediaInfoLibrary, BindsTheInstalledLibraryOnce) {
    MediaInfoLibrary& library = MediaInfoLibrary::instance();
    ASSERT_TRUE(library.isLoaded()) << library.loadError();
    EXPECT_EQ(&library, &MediaInfoLibrary::instance());
    auto session = library.newSession();
    ASSERT_TRUE(session.has_value());
    session->open(test::testMedia("av.mp4"));
    EXPECT_EQ(session->get(MediaInfoLibrary::StreamKind::Video, "Width"), "320");
    EXPECT_EQ(session->get(MediaInfoLibrary::StreamKind::Audio, "Channel(s)"), "2");
}

TEST(MediaInfoLibrary, AMissingOrForeignLibraryFailsCleanly) {
    const std::vector<std::string> missing = {"/nonexistent/libmediainfo.so.0"};
    const auto absent = MediaInfoLibrary::load(missing);
    EXPECT_FALSE(absent->isLoaded());
    EXPECT_NE(absent->loadError().find("libmediainfo"), std::string::npos) << absent->loadError();
    EXPECT_FALSE(absent->newSession().has_value());

    // A real library that is not MediaInfo: the first missing entry point is named.
    const std::vector<std::string> foreign = {"libz.so.1"};
    const auto wrong = MediaInfoLibrary::load(foreign);
    EXPECT_FALSE(wrong->isLoaded());
    EXPECT_EQ(wrong->loadError(), "the library has no entry point MediaInfoA_New");

    SourceItem item;
    EXPECT_FALSE(querySourceItem(*wrong, test::testMedia("av.mp4"), item));
    EXPECT_EQ(item.sourcePath, test::testMedia("av.mp4"));
    EXPECT_GT(item.fileSize, 0u);
    EXPECT_FALSE(item.itemId.empty());
    EXPECT_TRUE(item.media.videoWidth.empty());
}

TEST(MediaInfoLibrary, ProbesFromManyThreadsNeverInterleave) {
    // Each probe switches the report options; interleaved probes would mix the report forms.
    MediaSummary reference;
    queryMediaSummary(test::testMedia("wide.mkv"), reference);
    ASSERT_FALSE(reference.informSummary.empty());
    std::vector<std::thread> threads;
    std::vector<MediaSummary> results(4);
    for (MediaSummary& result : results) {
        threads.emplace_back([&result] {
            for (int i = 0; i < 5; ++i) queryMediaSummary(test::testMedia("wide.mkv"), result);
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (const MediaSummary& result : results) {
        EXPECT_EQ(result.informSummary, reference.informSummary);
        EXPECT_EQ(result.informNormal, reference.informNormal);
        EXPECT_EQ(result.informComplete, reference.informComplete);
    }
}

}  // namespace
}  // namespace torvane
