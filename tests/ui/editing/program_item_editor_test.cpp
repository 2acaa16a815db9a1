#include "ui/editing/program_item_editor.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QThreadPool>
#include <QTimeEdit>
#include <QTimer>
#include <atomic>
#include <future>
#include <mutex>
#include <vector>

#include "support/printers.h"
#include "support/temp_dir.h"
#include "support/ui/ui_test_support.h"

namespace chimeon {
namespace {

// A probe that answers from a table and records what it was asked, on whatever thread.
struct FakeProbe {
    std::mutex mutex;
    std::vector<std::string> asked;
    std::string answer = "3:07";
    std::shared_future<void> gate;  // when set, paths holding "slow" wait for it

    ProgramItemEditor::DurationProbe Function() {
        return [this](const std::string& path) {
            if (path.find("slow") != std::string::npos && gate.valid()) {
                gate.wait();
                return std::string("9:59");
            }
            std::lock_guard lock(mutex);
            asked.push_back(path);
            return answer;
        };
    }
    std::size_t Calls() {
        std::lock_guard lock(mutex);
        return asked.size();
    }
};

class ProgramItemEditorTest : public testing::Test {
protected:
    void SetUp() override {
        test::App();
        // The stale-answer test keeps one worker waiting while another answers.
        QThreadPool::globalInstance()->setMaxThreadCount(
            std::max(4, QThreadPool::globalInstance()->maxThreadCount()));
        editor_ = std::make_unique<ProgramItemEditor>(probe_.Function());
        editor_->SetMessageSink([this](QWidget*, const QString& title, const QString& text) {
            messages_.push_back((title + "|" + text).toStdString());
        });
    }
    void TearDown() override { Drain(); }

    template <typename T>
    T* Child(const char* name) {
        T* child = editor_->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    std::string Text(const char* name) {
        if (auto* edit = editor_->findChild<QLineEdit*>(name)) {
            return edit->text().toStdString();
        }
        return Child<QLabel>(name)->text().toStdString();
    }
    // Lets every measurement finish and its answer reach the dialog.
    void Drain() {
        QThreadPool::globalInstance()->waitForDone(10000);
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }
    bool WaitForDuration() {
        QSignalSpy shown(editor_.get(), &ProgramItemEditor::DurationShown);
        return shown.wait(10000);
    }

    FakeProbe probe_;
    std::unique_ptr<ProgramItemEditor> editor_;
    std::vector<std::string> messages_;
};

TEST_F(ProgramItemEditorTest, NewItemDefaultsAndLayouts) {
    EXPECT_EQ(editor_->windowTitle().toStdString(), "节目单编辑");
    EXPECT_TRUE(Child<QRadioButton>("fileRadio")->isChecked());
    EXPECT_EQ(Text("volume"), "100");
    EXPECT_EQ(Child<QTimeEdit>("startTime")->time(), QTime(8, 0, 0));
    EXPECT_FALSE(Child<QTimeEdit>("startTime")->isEnabled());
    EXPECT_FALSE(Child<QTimeEdit>("endTime")->isEnabled());

    // A file item's controls, or a folder item's: never both.
    for (bool file : {true, false}) {
        Child<QRadioButton>(file ? "fileRadio" : "folderRadio")->click();
        for (const char* name : {"filePath", "fileButton", "volume"}) {
            EXPECT_EQ(Child<QWidget>(name)->isEnabled(), file) << name;
        }
        for (const char* name : {"folderPath", "folderButton", "inOrder", "random"}) {
            EXPECT_EQ(Child<QWidget>(name)->isEnabled(), !file) << name;
        }
    }
    Child<QRadioButton>("startAtTime")->click();
    EXPECT_TRUE(Child<QTimeEdit>("startTime")->isEnabled());
    Child<QRadioButton>("startChained")->click();
    EXPECT_FALSE(Child<QTimeEdit>("startTime")->isEnabled());
    Child<QRadioButton>("endAtTime")->click();
    EXPECT_TRUE(Child<QTimeEdit>("endTime")->isEnabled());
}

// Which field shows what is the core's rule; here: the fields reach their controls.
TEST_F(ProgramItemEditorTest, OpensExistingItems) {
    editor_->SetItem(
        ProgramItem{"午休", "13:30:0", "播完终止", "80", "顺序", "d:\\bell\\ring.mp3"});
    EXPECT_EQ(Text("filePath"), "d:\\bell\\ring.mp3");
    EXPECT_EQ(Text("volume"), "80");
    EXPECT_TRUE(Child<QTimeEdit>("startTime")->isEnabled());
    EXPECT_EQ(Child<QTimeEdit>("startTime")->time(), QTime(13, 30, 0));
    Drain();
    EXPECT_EQ(probe_.Calls(), 0u);  // filling the box measures nothing

    editor_->SetItem(ProgramItem{"音乐", "续播", "12:0:0", "100", "随机", "/srv/music/"});
    EXPECT_TRUE(Child<QRadioButton>("folderRadio")->isChecked());
    EXPECT_TRUE(Child<QRadioButton>("random")->isChecked());
    EXPECT_TRUE(Child<QWidget>("folderPath")->isEnabled());
    EXPECT_EQ(Child<QTimeEdit>("endTime")->time(), QTime(12, 0, 0));
}

TEST_F(ProgramItemEditorTest, OkChecksAndMessages) {
    editor_->show();
    editor_->accept();
    EXPECT_EQ(messages_, std::vector<std::string>{"提醒|还没有填写标题！"});
    EXPECT_TRUE(editor_->isVisible());

    // The order of the checks is the core's; here: what they find reaches the operator.
    Child<QLineEdit>("title")->setText("铃声");
    Child<QLineEdit>("volume")->setText("150");
    editor_->accept();
    EXPECT_EQ(messages_.back(), "提醒|请输入一个 0 到 100 之间的整数。");
    EXPECT_EQ(editor_->result(), QDialog::Rejected);
    EXPECT_TRUE(editor_->isVisible());

    Child<QLineEdit>("volume")->setText("80");
    Child<QLineEdit>("filePath")->setText("D:\\Bell\\Ring.MP3");
    Child<QRadioButton>("startAtTime")->click();
    Child<QTimeEdit>("startTime")->setTime(QTime(7, 5, 9));
    ASSERT_TRUE(WaitForDuration());
    const std::size_t shown = messages_.size();
    editor_->accept();
    EXPECT_EQ(messages_.size(), shown);
    EXPECT_EQ(editor_->result(), QDialog::Accepted);
    EXPECT_EQ(editor_->Item(),
              (ProgramItem{"铃声", "7:5:9", "播完终止", "80", "3:07", "d:\\bell\\ring.mp3"}));
}

// Which folder text is stored is the core's rule; here: the chosen folder reaches its box.
TEST_F(ProgramItemEditorTest, FolderBrowser) {
    Child<QRadioButton>("folderRadio")->click();
    for (auto [chosen, shown] : {std::pair{std::optional<QString>("/srv/音乐"), "/srv/音乐/"},
                                 {std::nullopt, ""}}) {  // cancelled: the folder path is emptied
        Child<QLineEdit>("folderPath")->setText("/before/");
        editor_->SetFolderChooser([&](QWidget*) { return chosen; });
        Child<QPushButton>("folderButton")->click();
        EXPECT_EQ(Text("folderPath"), shown);
    }
}

TEST_F(ProgramItemEditorTest, OnlyWavAndMp3AreMeasuredAChosenOneOnceAndShownLowerCased) {
    test::TempDir dir;
    dir.Write("Ring.MP3", "not really an mp3");
    const QString chosen = QString::fromStdString((dir / "Ring.MP3").string());
    editor_->SetFileChooser([&](QWidget*) { return std::optional<QString>(chosen); });
    Child<QPushButton>("fileButton")->click();
    EXPECT_EQ(Text("duration"), "00:00");  // until the probe answers
    ASSERT_TRUE(WaitForDuration());
    EXPECT_EQ(Text("duration"), "3:07");
    EXPECT_EQ(Text("filePath"), chosen.toLower().toStdString());
    Drain();
    ASSERT_EQ(probe_.Calls(), 1u);  // writing the path back did not measure again
    EXPECT_EQ(probe_.asked[0], chosen.toStdString());

    // The lower-cased path typed again still reaches the file on a case-sensitive file system.
    Child<QLineEdit>("filePath")->clear();
    Child<QLineEdit>("filePath")->setText(chosen.toLower());
    ASSERT_TRUE(WaitForDuration());
    Drain();
    ASSERT_EQ(probe_.Calls(), 2u);
    EXPECT_EQ(probe_.asked[1], chosen.toStdString());

    // Cancelling the file dialog keeps the path.
    editor_->SetFileChooser([](QWidget*) { return std::nullopt; });
    Child<QPushButton>("fileButton")->click();
    EXPECT_EQ(Text("filePath"), chosen.toLower().toStdString());

    // Which paths are measured is the core's rule; a path not measured, or that could not be,
    // stays as typed with "00:00".
    Child<QLineEdit>("filePath")->setText("/srv/Bell.MID");
    probe_.answer = "";
    Drain();
    EXPECT_EQ(probe_.Calls(), 2u);
    Child<QLineEdit>("filePath")->setText("/srv/Broken.WAV");
    Drain();
    EXPECT_EQ(probe_.Calls(), 3u);
    EXPECT_EQ(Text("duration"), "00:00");
    EXPECT_EQ(Text("filePath"), "/srv/Broken.WAV");
}

TEST_F(ProgramItemEditorTest, StaleAnswersAreIgnored) {
    std::promise<void> release;
    probe_.gate = release.get_future().share();
    Child<QLineEdit>("filePath")->setText("/srv/Slow.mp3");
    Child<QLineEdit>("filePath")->setText("/srv/Fast.MP3");
    ASSERT_TRUE(WaitForDuration());
    EXPECT_EQ(Text("duration"), "3:07");
    release.set_value();
    Drain();
    EXPECT_EQ(Text("duration"), "3:07");
    EXPECT_EQ(Text("filePath"), "/srv/fast.mp3");

    // An answer that arrives after the item was replaced does not touch the new contents.
    std::promise<void> second;
    probe_.gate = second.get_future().share();
    Child<QLineEdit>("filePath")->setText("/srv/Slow.wav");
    editor_->SetItem(ProgramItem{"音乐", "续播", "播完终止", "100", "顺序", "/srv/music/"});
    second.set_value();
    Drain();
    EXPECT_EQ(Text("duration"), "");
    EXPECT_EQ(Text("filePath"), "");

    // One that arrives after the dialog is gone is harmless.
    std::promise<void> last;
    probe_.gate = last.get_future().share();
    Child<QLineEdit>("filePath")->setText("/srv/slow.mp3");
    editor_.reset();
    last.set_value();
    Drain();
}

// The caller's way in: an item in, the edited item (or nothing) out; a path not touched is not
// measured, and the volume is not carried over.
TEST_F(ProgramItemEditorTest, EditGivesTheEditedItemOrNothing) {
    const ProgramItem item{"铃", "8:0:0", "8:30:0", "60", "顺序", "/srv/ring.wav"};
    auto finish = [](bool ok) {
        QTimer::singleShot(0, [ok] {
            auto* open = qobject_cast<ProgramItemEditor*>(QApplication::activeModalWidget());
            ASSERT_NE(open, nullptr);
            open->findChild<QLineEdit*>("title")->setText("新铃");
            ok ? open->accept() : open->reject();
        });
    };
    finish(true);
    auto edited = ProgramItemEditor::Edit(nullptr, probe_.Function(), &item);
    ASSERT_TRUE(edited);
    EXPECT_EQ(*edited, (ProgramItem{"新铃", "8:0:0", "8:30:0", "100", "", "/srv/ring.wav"}));
    finish(false);
    EXPECT_FALSE(ProgramItemEditor::Edit(nullptr, probe_.Function(), &item));
}

}  // namespace
}  // namespace chimeon
