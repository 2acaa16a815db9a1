#include "ui/audio/record_page.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cerrno>

#include "support/fake_pcm.h"
#include "support/temp_dir.h"
#include "support/ui/ui_test_support.h"

namespace chimeon {
namespace {

// A page on fake devices, recording into a folder of its own that holds the sound "tone.wav".
struct PageRig {
    explicit PageRig(long unheard = 1000) {
        devices.SetUnheard(unheard);
        CWave tone;
        tone.SetFormat(1, 8000, 16);
        const std::int16_t samples[4] = {1, 2, 3, 4};
        tone.SetData(samples, 4);
        tone.Save((dir / "tone.wav").string());
        page.CreatePage(CRecordPage::kTemplateId, &area);
    }
    void Click(const char* button) {
        page.findChild<QPushButton*>(QString::fromLatin1(button))->click();
    }

    test::WithApp app;
    test::MessageCapture messages;
    test::TempDir dir;
    test::FakePcmSystem devices;
    QWidget area;
    CRecordPage page{devices, dir.path()};
};

constexpr const char* kButtons[8] = {
    "recordButton", "recordPauseButton", "recordContinueButton", "recordStopButton",
    "playButton",   "playPauseButton",   "playContinueButton",   "playStopButton"};

struct StateSetup {
    const char* name;
    std::vector<const char*> clicks;
    long unheard;  // 0: every sound ends as soon as it is written
    int record;
    int play;
};
const StateSetup kStates[] = {
    {"idle", {}, 1000, 0, 0},
    {"recording", {"recordButton"}, 1000, 1, 0},
    {"recording paused", {"recordButton", "recordPauseButton"}, 1000, 2, 0},
    {"playing", {"playButton"}, 1000, 0, 1},
    {"played to the end", {"playButton"}, 0, 0, 1},
    {"playing paused", {"playButton", "playPauseButton"}, 1000, 0, 2},
};

// The answer of each button in each state: in the record line for the first four buttons, else
// in the play line.
constexpr char kNotRecording[] = "还未开始录音！";
constexpr char kPlaying[] = "正在播放音乐，不能同时录音！";
constexpr char kPaused[] = "当前音频文件已经暂停！";
constexpr char kStopped[] = "音频文件已经停止播放！";
constexpr char kNothing[] = "目前没有音频文件正在播放！";
constexpr char kRecordingNoPlay[] = "正在录音，不能进行播放！";
constexpr char kRecordingNoPause[] = "正在录音，请用录音“暂停”按钮暂停录音！";
constexpr char kRecordingNoContinue[] = "正在录音，请先停止录音再进行播放！";
constexpr char kRecordingNoStop[] = "正在录音，请先停止录音！";
const char* const kAnswers[6][8] = {
    {"正在准备录音，请稍候……", kNotRecording, kNotRecording, kNotRecording, "正在放音！", kNothing,
     "目前没有音频文件被暂停，无法继续播放！", kNothing},
    {"正在录音，不能同时录音！", "录音已经暂停！", "正在录音！", "录音已经停止！", kRecordingNoPlay,
     kRecordingNoPause, kRecordingNoContinue, kRecordingNoStop},
    {"录音处于暂停状态，请点“继续”按钮继续录音！", "录音已经暂停！", "录音继续！", "录音已经停止！",
     kRecordingNoPlay, kRecordingNoPause, kRecordingNoContinue, kRecordingNoStop},
    {kPlaying, kNotRecording, kNotRecording, kNotRecording, "正在播放音乐，不能重复播放！", kPaused,
     "正在播放音频文件！", kStopped},
    {kPlaying, kNotRecording, kNotRecording, kNotRecording, "正在放音！" /* plays again */, kPaused,
     "正在播放音频文件！", kStopped},
    {kPlaying, kNotRecording, kNotRecording, kNotRecording, "请点“继续”按钮，继续进行播放！",
     kPaused, "暂停音频文件恢复播放！", kStopped},
};
// The state each button leads to, by its index in kStates.
const char* const kNext[6] = {"10003000", "12101111", "22102222",
                              "33333530", "33333530", "55555530"};

TEST(RecordPageTest, EveryCommandInEveryStateAnswersInItsOwnLine) {
    const QuestionHandler previous =
        SetQuestionHandler([](QWidget*, const QString&) { return true; });
    for (int state = 0; state < 6; ++state) {
        for (int command = 0; command < 8; ++command) {
            const StateSetup& setup = kStates[state];
            PageRig rig(setup.unheard);
            rig.page.fileNameEdit()->setText(QStringLiteral("tone"));
            for (const char* click : setup.clicks) {
                rig.Click(click);
            }
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return setup.unheard != 0 || !rig.page.console().player().IsPlaying(); }));
            QLineEdit* line = command < 4 ? rig.page.recordStatusEdit() : rig.page.playStatusEdit();
            QLineEdit* other =
                command < 4 ? rig.page.playStatusEdit() : rig.page.recordStatusEdit();
            const QString otherBefore = other->text();
            rig.Click(kButtons[command]);
            const StateSetup& next = kStates[kNext[state][command] - '0'];
            const std::string where = std::string(setup.name) + " / " + kButtons[command];
            EXPECT_EQ(line->text().toStdString(), kAnswers[state][command]) << where;
            EXPECT_EQ(other->text(), otherBefore) << where;
            EXPECT_EQ(rig.page.console().RecordState(), next.record) << where;
            EXPECT_EQ(rig.page.console().PlayState(), next.play) << where;
            EXPECT_TRUE(rig.messages.messages.isEmpty()) << where;
        }
    }
    SetQuestionHandler(previous);
}

TEST(RecordPageTest, NamesResolveInTheRecordingsFolderAndNothingIsReplacedUnasked) {
    PageRig rig;
    QStringList questions;
    const QuestionHandler previous = SetQuestionHandler([&](QWidget*, const QString& text) {
        questions.append(text);
        return false;
    });
    const QComboBox* devices = rig.page.deviceBox();
    ASSERT_EQ(devices->count(), 3);  // the default first, then each device once
    EXPECT_EQ(devices->itemText(0), QStringLiteral("默认设备"));
    EXPECT_EQ(devices->itemText(2), QStringLiteral("Loudspeakers"));
    EXPECT_EQ(devices->currentIndex(), -1);

    const QString notice = QString::fromStdString((rig.dir / "notice.wav").string());
    rig.page.fileNameEdit()->setText(QStringLiteral("notice"));
    rig.Click("recordButton");
    EXPECT_EQ(rig.page.fileNameEdit()->text(), notice);  // where it really goes
    QTest::qWait(3 * CRecordPage::kStartWatchMs);
    EXPECT_EQ(rig.page.recordStatusEdit()->text(), QStringLiteral("正在准备录音，请稍候……"));
    EXPECT_TRUE(rig.page.WorkInProgress().contains(notice));
    ASSERT_TRUE(rig.devices.Supply(3000));  // only now is sound being recorded
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return rig.page.recordStatusEdit()->text() == QStringLiteral("录音开始！"); }));
    rig.devices.FailNextTransfer(-ENODEV, -ENODEV);  // unplugged: what came before is kept
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return rig.page.recordStatusEdit()->text() ==
               QStringLiteral("录音中断：没有可用的声音设备，请点“停止”保存已录的声音！");
    }));
    rig.Click("recordStopButton");
    CWave saved;
    saved.Load(notice.toStdString());
    EXPECT_EQ(saved.GetFrameCount(), 3000u);

    rig.page.fileNameEdit()->setText(QStringLiteral("notice"));
    rig.Click("recordButton");  // declined: nothing starts, nothing is said
    EXPECT_EQ(questions.size(), 1);
    EXPECT_EQ(rig.page.console().RecordState(), 0);
    EXPECT_EQ(rig.page.recordStatusEdit()->text(), QStringLiteral("录音已经停止！"));
    rig.page.SetFileChooser([&] { return notice; });  // the dialog asked already
    rig.Click("chooseFileButton");
    rig.Click("recordButton");
    EXPECT_EQ(questions.size(), 1);
    EXPECT_EQ(rig.page.recordStatusEdit()->text(), QStringLiteral("正在准备录音，请稍候……"));
    SetQuestionHandler(previous);

    rig.Click("recordStopButton");
    rig.dir.Write("bad.wav", "RIFX");
    rig.page.fileNameEdit()->setText(QStringLiteral("bad"));
    rig.Click("playButton");
    EXPECT_EQ(rig.messages.messages,
              QStringList{QString::fromStdString((rig.dir / "bad.wav").string()) +
                          QStringLiteral(" 的文件格式无效。")});
    EXPECT_EQ(rig.page.console().PlayState(), 0);
}

}  // namespace
}  // namespace chimeon
