#include "ui/audio/record_page.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cerrno>

#include "support/fake_pcm.h"
#include "support/temp_dir.h"
#include "ui/ui_test_support.h"

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
    bool Eventually(const std::function<bool()>& condition) {
        for (int i = 0; i < 300 && !condition(); ++i) {
            QTest::qWait(10);
        }
        return condition();
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
};
const StateSetup kStates[] = {
    {"idle", {}, 1000},
    {"recording", {"recordButton"}, 1000},
    {"recording paused", {"recordButton", "recordPauseButton"}, 1000},
    {"playing", {"playButton"}, 1000},
    {"played to the end", {"playButton"}, 0},
    {"playing paused", {"playButton", "playPauseButton"}, 1000},
};

struct Outcome {
    const char* text;  // in the record line for the first four buttons, else the play line
    int record;
    int play;
};
constexpr char kNotRecording[] = "还未开始录音！";
constexpr char kPlaying[] = "正在播放音乐，不能同时录音！";
constexpr char kPausedPlaying[] = "当前音频文件已经暂停！";
constexpr char kPlayStopped[] = "音频文件已经停止播放！";
const Outcome kOutcomes[6][8] = {
    {{"录音开始！", 1, 0},
     {kNotRecording, 0, 0},
     {kNotRecording, 0, 0},
     {kNotRecording, 0, 0},
     {"正在放音！", 0, 1},
     {"目前没有音频文件正在播放！", 0, 0},
     {"目前没有音频文件被暂停，无法继续播放！", 0, 0},
     {"目前没有音频文件正在播放！", 0, 0}},
    {{"正在录音，不能同时录音！", 1, 0},
     {"录音已经暂停！", 2, 0},
     {"正在录音！", 1, 0},
     {"录音已经停止！", 0, 0},
     {"正在录音，不能进行播放！", 1, 0},
     {"正在录音，请用录音“暂停”按钮暂停录音！", 1, 0},
     {"正在录音，请先停止录音再进行播放！", 1, 0},
     {"正在录音，请先停止录音！", 1, 0}},
    {{"录音处于暂停状态，请点“继续”按钮继续录音！", 2, 0},
     {"录音已经暂停！", 2, 0},
     {"录音继续！", 1, 0},
     {"录音已经停止！", 0, 0},
     {"正在录音，不能进行播放！", 2, 0},
     {"正在录音，请用录音“暂停”按钮暂停录音！", 2, 0},
     {"正在录音，请先停止录音再进行播放！", 2, 0},
     {"正在录音，请先停止录音！", 2, 0}},
    {{kPlaying, 0, 1},
     {kNotRecording, 0, 1},
     {kNotRecording, 0, 1},
     {kNotRecording, 0, 1},
     {"正在播放音乐，不能重复播放！", 0, 1},
     {kPausedPlaying, 0, 2},
     {"正在播放音频文件！", 0, 1},
     {kPlayStopped, 0, 0}},
    {{kPlaying, 0, 1},
     {kNotRecording, 0, 1},
     {kNotRecording, 0, 1},
     {kNotRecording, 0, 1},
     {"正在放音！", 0, 1},  // the sound ran out: it plays again
     {kPausedPlaying, 0, 2},
     {"正在播放音频文件！", 0, 1},
     {kPlayStopped, 0, 0}},
    {{kPlaying, 0, 2},
     {kNotRecording, 0, 2},
     {kNotRecording, 0, 2},
     {kNotRecording, 0, 2},
     {"请点“继续”按钮，继续进行播放！", 0, 2},
     {kPausedPlaying, 0, 2},
     {"暂停音频文件恢复播放！", 0, 1},
     {kPlayStopped, 0, 0}},
};

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
            if (setup.unheard == 0) {
                ASSERT_TRUE(
                    rig.Eventually([&] { return !rig.page.console().player().IsPlaying(); }));
            }
            const bool recordLine = command < 4;
            QLineEdit* line = recordLine ? rig.page.recordStatusEdit() : rig.page.playStatusEdit();
            QLineEdit* other = recordLine ? rig.page.playStatusEdit() : rig.page.recordStatusEdit();
            const QString otherBefore = other->text();
            rig.Click(kButtons[command]);
            const Outcome& expected = kOutcomes[state][command];
            const std::string where = std::string(setup.name) + " / " + kButtons[command];
            EXPECT_EQ(line->text().toStdString(), expected.text) << where;
            EXPECT_EQ(other->text(), otherBefore) << where;
            EXPECT_EQ(rig.page.console().RecordState(), expected.record) << where;
            EXPECT_EQ(rig.page.console().PlayState(), expected.play) << where;
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
    ASSERT_EQ(devices->count(), 2);
    EXPECT_EQ(devices->itemText(0), QStringLiteral("Loudspeakers"));
    EXPECT_EQ(devices->currentIndex(), -1);

    const QString notice = QString::fromStdString((rig.dir / "notice.wav").string());
    rig.page.fileNameEdit()->setText(QStringLiteral("notice"));
    rig.Click("recordButton");
    EXPECT_EQ(rig.page.fileNameEdit()->text(), notice);  // where it really goes
    ASSERT_TRUE(rig.devices.Supply(3000));
    rig.devices.FailNextTransfer(-ENODEV, -ENODEV);  // unplugged: what came before is kept
    EXPECT_TRUE(rig.Eventually([&] {
        return rig.page.recordStatusEdit()->text() ==
               QStringLiteral("录音中断：error -19，请点“停止”保存已录的声音！");
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
    EXPECT_EQ(rig.page.recordStatusEdit()->text(), QStringLiteral("录音开始！"));
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
