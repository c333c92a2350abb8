// The update check against a real HTTP server on loopback.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "platform/file_system.h"
#include "settings/option_store.h"
#include "support/loopback_http_server.h"
#include "support/test_support.h"
#include "update/file_digest.h"
#include "update/program_version.h"
#include "update/update_check.h"
#include "update/web_addresses.h"

namespace torvane {
namespace {

using Outcome = UpdateServerAnswer::Outcome;

constexpr std::time_t kNow = 1'800'000'000;

DownloadLimits quickLimits() {
    DownloadLimits limits;
    limits.connect = std::chrono::seconds(2);
    limits.stalled = std::chrono::seconds(1);
    return limits;
}

class UpdateCheckTest : public ::testing::Test {
protected:
    UpdateCheckTest() { options_.setOption("updateserver", server_.address() + "/"); }

    void answerVersion(const std::string& body) { server_.setReply("/version.php", {200, body, false}); }
    UpdateServerAnswer ask(bool automatic) { return askUpdateServer(options_, automatic, kNow, quickLimits()); }

    test::TempFolder config_;
    OptionStore options_{config_.path()};
    test::LoopbackHttpServer server_;
};

TEST(UpdateResponseTest, ReadsKeysWithDefaultsEscapesAndEitherEncoding) {
    const UpdateResponse empty = parseUpdateResponse("");
    EXPECT_EQ(empty.ad, "n");
    EXPECT_EQ(empty.ad2, "n");
    EXPECT_EQ(empty.version, 0);
    EXPECT_EQ(empty.downloadSize, 0);

    const UpdateResponse answer = parseUpdateResponse(
        "[config]\r\nCharset=UTF-8\r\nAD=y\r\n[Torvane]\r\nVER= 12abc\r\n"
        "msg=첫 줄\\r\\n둘째 줄\\n\r\ndownload_size=-5\r\ndownload_sha256=ABCDEF\r\n");
    EXPECT_EQ(answer.charset, "UTF-8");
    EXPECT_EQ(answer.ad, "y");
    EXPECT_EQ(answer.version, 12);
    EXPECT_EQ(answer.message, "첫 줄\r\n둘째 줄\n");
    EXPECT_EQ(answer.downloadSize, -5);
    EXPECT_EQ(answer.downloadSha256, "abcdef");

    // A server writing CP949 ("한글") is read into the same UTF-8 text.
    EXPECT_EQ(parseUpdateResponse("[TORVANE]\nmsg=\xC7\xD1\xB1\xDB\n").message, "한글");
    EXPECT_EQ(parseUpdateResponse("[TORVANE]\nmsg=" + std::string(2000, 'x') + "\n").message.size(), 1023u);
}

TEST_F(UpdateCheckTest, AsksWithTheInstalledVersionAndStoresTheSwitches) {
    // A stored "ver" below this build's own number (left by an older installation) is not what
    // is installed now.
    options_.setOption("ver", "7");
    answerVersion("[TORVANE]\nver=8\n");
    EXPECT_EQ(ask(true).installedVersion, kProgramVersionNumber);

    const long long stored = kProgramVersionNumber + 7;
    options_.setOption("ver", std::to_string(stored));
    answerVersion("[CONFIG]\nad=y\nad2=Y\n[TORVANE]\nver=" + std::to_string(stored) + "\n");
    EXPECT_EQ(ask(true).outcome, Outcome::upToDate);
    EXPECT_EQ(options_.getOption("ad", "n"), "y");
    EXPECT_EQ(options_.getOption("ad2", "n"), "Y");

    answerVersion("[TORVANE]\nver=" + std::to_string(stored + 1) + "\nmsg=new\n");
    const UpdateServerAnswer newer = ask(false);
    EXPECT_EQ(newer.outcome, Outcome::newerVersion);
    EXPECT_EQ(newer.installedVersion, stored);
    EXPECT_EQ(newer.response.message, "new");
    // An answer without the switches turns the panels off again.
    EXPECT_EQ(options_.getOption("ad", "n"), "n");
    const std::string own = "/version.php?ver=" + std::to_string(kProgramVersionNumber);
    const std::string raised = "/version.php?ver=" + std::to_string(stored);
    EXPECT_EQ(server_.requests(), (std::vector<std::string>{own + "&a=1", raised + "&a=1", raised + "&a=0"}));
}

TEST_F(UpdateCheckTest, ThreeDayWishHoldsOnlyTheAutomaticCheck) {
    answerVersion("[TORVANE]\nver=1\n");
    options_.setOption("updatecheckdontview", std::to_string(kNow - kUpdateReminderPause + 60));
    EXPECT_EQ(ask(true).outcome, Outcome::putOff);
    EXPECT_TRUE(server_.requests().empty());
    EXPECT_EQ(ask(false).outcome, Outcome::upToDate);
    EXPECT_EQ(server_.requests().size(), 1u);

    options_.setOption("updatecheckdontview", std::to_string(kNow - kUpdateReminderPause));
    EXPECT_EQ(ask(true).outcome, Outcome::upToDate);
    EXPECT_EQ(server_.requests().size(), 2u);
}

TEST_F(UpdateCheckTest, ServerFailuresAreNoAnswerAndChangeNothing) {
    options_.setOption("ad", "y");
    EXPECT_EQ(ask(false).outcome, Outcome::noAnswer);  // 404
    server_.setReply("/version.php", {500, "[CONFIG]\nad=n\n", false});
    EXPECT_EQ(ask(false).outcome, Outcome::noAnswer);
    EXPECT_EQ(options_.getOption("ad", "n"), "y");

    server_.setReply("/version.php", {200, "", true});
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(ask(false).outcome, Outcome::noAnswer);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

TEST(DownloadAddressTest, PlainHttpOnlyToThisMachine) {
    EXPECT_TRUE(isPermittedDownloadAddress("https://torvane.kr/version.php?ver=1&a=0"));
    EXPECT_TRUE(isPermittedDownloadAddress("http://127.0.0.1:8080/x"));
    EXPECT_TRUE(isPermittedDownloadAddress("http://localhost/x"));
    EXPECT_TRUE(isPermittedDownloadAddress("http://[::1]:80/x"));
    EXPECT_FALSE(isPermittedDownloadAddress("http://torvane.kr/setup.deb"));
    EXPECT_FALSE(isPermittedDownloadAddress("http://127.0.0.1.example.com/setup.deb"));
    EXPECT_FALSE(isPermittedDownloadAddress("ftp://127.0.0.1/setup.deb"));
    EXPECT_FALSE(isPermittedDownloadAddress("file:///etc/passwd"));
    EXPECT_FALSE(isPermittedDownloadAddress("not an address"));
}

TEST(InstallerNameTest, LastPartOfTheSaveAsNameOrTheAddress) {
    UpdateResponse response;
    response.downloadUrl = "https://torvane.kr/files/torvane_2.deb?token=1";
    EXPECT_EQ(installerFileName(response), "torvane_2.deb");
    response.downloadSaveAsName = "C:\\Temp\\sub/torvane-setup.deb";
    EXPECT_EQ(installerFileName(response), "torvane-setup.deb");
    response.downloadSaveAsName = "..";
    EXPECT_EQ(installerFileName(response), "torvane-update");
    response.downloadSaveAsName = "../../.profile";
    EXPECT_EQ(installerFileName(response), ".profile");
}

TEST_F(UpdateCheckTest, InstallerAppearsOnlyWhenItsSizeAndDigestAgree) {
    const std::string package(5000, 'p');
    server_.setReply("/files/torvane.deb", {200, package, false});
    const test::TempFolder folder;
    UpdateResponse offer;
    offer.downloadUrl = server_.address() + "/files/torvane.deb";
    const auto download = [&] { return downloadInstaller(offer, folder.path(), quickLimits()); };
    const auto folderIsEmpty = [&] { return std::filesystem::is_empty(folder.path()); };

    offer.downloadSize = 4999;
    EXPECT_FALSE(download().ok);
    EXPECT_TRUE(folderIsEmpty());
    offer.downloadSize = 5001;
    EXPECT_FALSE(download().ok);
    EXPECT_TRUE(folderIsEmpty());

    offer.downloadSize = 5000;
    offer.downloadSha256 = std::string(64, '0');
    EXPECT_FALSE(download().ok);
    EXPECT_TRUE(folderIsEmpty());

    test::writeFile(folder.path() + "/reference", package);
    offer.downloadSha256 = fileSha256(folder.path() + "/reference");
    std::filesystem::remove(folder.path() + "/reference");
    offer.downloadSaveAsName = "setup\\torvane-new.deb";
    const InstallerDownload good = download();
    ASSERT_TRUE(good.ok) << good.reason;
    EXPECT_EQ(good.path, folder.path() + "/torvane-new.deb");
    EXPECT_EQ(test::readFile(good.path), package);

    // No size announced: no size check.
    offer.downloadSize = 0;
    offer.downloadSha256.clear();
    offer.downloadSaveAsName.clear();
    EXPECT_TRUE(download().ok);
    EXPECT_TRUE(pathExists(folder.path() + "/torvane.deb"));

    offer.downloadUrl = server_.address() + "/files/missing.deb";
    EXPECT_FALSE(download().ok);
    EXPECT_FALSE(pathExists(folder.path() + "/missing.deb"));
}

TEST_F(UpdateCheckTest, PanelAddressesCarryTheStoredValuesAndTheSize) {
    const std::string server = server_.address();
    EXPECT_EQ(noticePanelAddress(options_, 1000, 98),
              server + "/torvane/support.php?pid=home&ver=" + std::to_string(kProgramVersionNumber) +
                  "&w=1000&h=98&ec=0&it=0");
    const std::string raised = std::to_string(kProgramVersionNumber + 7);
    options_.setOption("pid", "blog");
    options_.setOption("ver", raised);
    options_.setOption("ec", "3");
    EXPECT_EQ(sidePanelAddress(options_, 300, 420),
              server + "/torvane/support_r.php?pid=blog&ver=" + raised + "&w=300&h=420");
    EXPECT_EQ(aboutPageAddress(options_, faceColourText(0xD4, 0xD0, 0xC8)),
              server + "/torvane/aboutweb.php?color=d4d0c8");
    EXPECT_EQ(goPageAddress(options_, "torvane_help"), server + "/go.php?menu=torvane_help");
}

}  // namespace
}  // namespace torvane
