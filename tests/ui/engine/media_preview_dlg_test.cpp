#include "ui/engine/media_preview_dlg.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "platform/engine/gst_video_hop.h"
#include "support/temp_dir.h"
#include "support/ui/ui_test_support.h"

namespace chimeon {
namespace {

TEST(PreviewText, FileNameAfterTheLastSeparatorOfEitherKindAndTimesAsHoursMinutesSeconds) {
    const std::pair<const char*, const char*> cases[] = {{"/srv/music/bell.wav", "bell.wav"},
                                                         {"d:/media\\video.avi", "video.avi"},
                                                         {"d:\\media/clip.mpg", "clip.mpg"},
                                                         {"bell.mp3", "bell.mp3"},
                                                         {"/srv/music/", ""},
                                                         {"c:\\音乐\\国歌.mp3", "国歌.mp3"}};
    for (const auto& [path, name] : cases) {
        EXPECT_EQ(MediaFileName(path), name) << path;
    }
    // Seconds are cut, not rounded; hours go past 99.
    const std::int64_t hour = 3600000;
    EXPECT_EQ(PreviewStatusText("b.mp3", 59999, hour + 60999), "正播：b.mp3 00:00:59 / 01:01:00");
    EXPECT_EQ(PreviewStatusText("long.mp3", 0, 100 * hour), "正播：long.mp3 00:00:00 / 100:00:00");
}

class MediaPreviewDlgTest : public ::testing::Test, public test::WithApp {
protected:
    test::MemorySettings settings;
    CMediaPreviewDlg preview{settings};
};

TEST_F(MediaPreviewDlgTest, StatusLineNamesThePlayingFileAndClosingHidesTheWindow) {
    EXPECT_EQ(preview.windowTitle(), QStringLiteral("视频媒体预览窗口"));
    EXPECT_EQ(preview.statusTimer().interval(), CMediaPreviewDlg::kStatusTimerMs);
    EXPECT_TRUE(preview.statusTimer().isActive());
    EXPECT_EQ(preview.statusLine()->text(), QStringLiteral("正播： 00:00:00 / 00:00:00"));
    preview.ShowStatus("d:\\video\\film.avi", 30 * 1000, (3600 + 2 * 60 + 5) * 1000);
    EXPECT_EQ(preview.statusLine()->text(), QStringLiteral("正播：film.avi 00:00:30 / 01:02:05"));

    // Closing hides the window and turns "ShowMedia" off.
    settings.values["ShowMedia"] = "1";
    preview.show();
    QSignalSpy closed(&preview, &CMediaPreviewDlg::closedByOperator);

    EXPECT_TRUE(preview.close() == false || !preview.isVisible());
    EXPECT_FALSE(preview.isVisible());
    EXPECT_EQ(settings.GetInt("ShowMedia", 1), 0);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_TRUE(preview.statusTimer().isActive());
    // It can be shown again: the window was not destroyed.
    preview.show();
    EXPECT_TRUE(preview.isVisible());
}

TEST_F(MediaPreviewDlgTest, PicturesFromAnotherThreadArePaintedOnTheWindowsThread) {
    CVideoArea* area = preview.displayArea();
    std::shared_ptr<VideoOutput> output = area->output();
    std::vector<std::uint8_t> pixels(4 * 3 * 2, 0x7f);
    VideoFrame frame{3, 2, 12, pixels.data()};
    std::thread streaming([&] { output->Present(frame); });
    streaming.join();
    pixels.assign(pixels.size(), 0);  // the player reuses its buffer
    QCoreApplication::processEvents();
    ASSERT_EQ(area->picture().size(), QSize(3, 2));
    EXPECT_EQ(qRed(area->picture().pixel(0, 0)), 0x7f);

    output->Present(VideoFrame{0, 0, 0, nullptr});
    output->Clear();
    QCoreApplication::processEvents();
    EXPECT_TRUE(area->picture().isNull());
}

TEST_F(MediaPreviewDlgTest, TheBroadcastersPicturesArePaintedFromItsSocket) {
#ifdef CHIMEON_TEST_GST_REGISTRY
    setenv("GST_REGISTRY", CHIMEON_TEST_GST_REGISTRY, 0);
#endif
    test::TempDir dir;
    auto feed = ShmVideoFeed::Start(dir / "video" / "hop.sock");
    ASSERT_TRUE(feed);
    ShmVideoReceiver window(dir / "video" / "hop.sock", preview.displayArea()->output());
    auto until = [](const std::function<bool()>& done) {
        for (int i = 0; i < 200 && !done(); ++i) {
            QTest::qWait(10);
        }
        return done();
    };
    ASSERT_TRUE(until([&] { return window.Poll() && feed->Watched(); }));
    std::vector<std::uint8_t> pixels(4 * 3 * 2, 0x7f);
    std::thread([&] { feed->Present(VideoFrame{3, 2, 12, pixels.data()}); }).join();
    ASSERT_TRUE(until([&] { return preview.displayArea()->picture().size() == QSize(3, 2); }));
    EXPECT_EQ(qRed(preview.displayArea()->picture().pixel(0, 0)), 0x7f);
    feed->Clear();
    EXPECT_TRUE(until([&] { return preview.displayArea()->picture().isNull(); }));
}

TEST(VideoHandOff, PicturesForADisplayAreaThatIsGoneAreDropped) {
    test::App();
    std::vector<std::uint8_t> pixels(4, 0x7f);
    std::shared_ptr<VideoOutput> output;
    {
        CVideoArea area;
        output = area.output();
        output->Present(VideoFrame{1, 1, 4, pixels.data()});
    }
    output->Present(VideoFrame{1, 1, 4, pixels.data()});
    QCoreApplication::processEvents();
}

}  // namespace
}  // namespace chimeon
