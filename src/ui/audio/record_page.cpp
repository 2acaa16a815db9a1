#include "ui/audio/record_page.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "core/audio/file_error.h"
#include "ui/app/message_box.h"
#include "ui/app/qt_text.h"

namespace chimeon {
namespace {

struct Command {
    const char* text;
    const char* name;
    void (CRecordPage::*handler)();
};

// A group of four buttons over its status line.
QLineEdit* AddGroup(CRecordPage* page, QVBoxLayout* layout, const char* title,
                    const Command (&commands)[4]) {
    auto* group = new QGroupBox(Utf8(title), page);
    auto* grid = new QGridLayout(group);
    for (int i = 0; i < 4; ++i) {
        auto* button = new QPushButton(Utf8(commands[i].text), group);
        button->setObjectName(QString::fromLatin1(commands[i].name));
        QObject::connect(button, &QPushButton::clicked, page, commands[i].handler);
        grid->addWidget(button, 0, i);
    }
    auto* status = new QLineEdit(group);
    status->setReadOnly(true);
    status->setAccessibleName(Utf8(title));
    grid->addWidget(status, 1, 0, 1, 4);
    layout->addWidget(group);
    return status;
}

}  // namespace

CRecordPage::CRecordPage(PcmSystem& system, std::filesystem::path recordingsFolder, QWidget* parent)
    : CSubDialog(kTemplateId, parent),
      console_(std::make_unique<RecorderConsole>(
          system, recordingsFolder.empty() ? MusicFolder() : std::move(recordingsFolder))) {
    failureWatch_.setInterval(kFailureWatchMs);
    connect(&failureWatch_, &QTimer::timeout, this, &CRecordPage::WatchFailures);
}

CRecordPage::~CRecordPage() = default;

std::filesystem::path CRecordPage::MusicFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::MusicLocation).toStdString();
}

QString CRecordPage::WorkInProgress() const {
    if (console_->RecordState() == RecorderConsole::kIdle) {
        return {};
    }
    return Utf8("正在录音！退出时录音停止，已录的声音保存在“%1”。")
        .arg(QString::fromStdString(console_->RecordingFile().string()));
}

void CRecordPage::OnInitDialog() {
    auto* layout = new QVBoxLayout(this);
    auto* fields = new QGridLayout;
    auto* deviceLabel = new QLabel(Utf8("选择录音设备"), this);
    deviceBox_ = new QComboBox(this);
    deviceBox_->setEditable(true);
    deviceLabel->setBuddy(deviceBox_);
    fields->addWidget(deviceLabel, 0, 0);
    fields->addWidget(deviceBox_, 0, 1, 1, 2);
    auto* fileLabel = new QLabel(Utf8("声音文件名"), this);
    fileNameEdit_ = new QLineEdit(this);
    fileLabel->setBuddy(fileNameEdit_);
    auto* choose = new QPushButton(QStringLiteral(">>"), this);
    choose->setObjectName(QStringLiteral("chooseFileButton"));
    connect(choose, &QPushButton::clicked, this, &CRecordPage::OnChooseFile);
    fields->addWidget(fileLabel, 1, 0);
    fields->addWidget(fileNameEdit_, 1, 1);
    fields->addWidget(choose, 1, 2);
    layout->addLayout(fields);

    const Command record[] = {{"录音", "recordButton", &CRecordPage::OnRecord},
                              {"暂停", "recordPauseButton", &CRecordPage::OnPauseRecording},
                              {"继续", "recordContinueButton", &CRecordPage::OnContinueRecording},
                              {"停止", "recordStopButton", &CRecordPage::OnStopRecording}};
    const Command play[] = {{"放音", "playButton", &CRecordPage::OnPlay},
                            {"暂停", "playPauseButton", &CRecordPage::OnPausePlaying},
                            {"继续", "playContinueButton", &CRecordPage::OnContinuePlaying},
                            {"停止", "playStopButton", &CRecordPage::OnStopPlaying}};
    recordStatusEdit_ = AddGroup(this, layout, "录音", record);
    playStatusEdit_ = AddGroup(this, layout, "放音", play);
    layout->addStretch(1);

    for (const std::string& name : console_->DeviceChoices()) {
        deviceBox_->addItem(QString::fromStdString(name));
    }
    deviceBox_->setCurrentIndex(-1);
}

void CRecordPage::Carry(QString& line, const std::function<RecorderConsole::Answer()>& command) {
    try {
        const RecorderConsole::Answer answer = command();
        if (answer.status) {
            line = Utf8(*answer.status);
        }
        if (!answer.file.empty()) {
            fileName_ = QString::fromStdString(answer.file.string());  // where it really went
        }
        if (!answer.message.empty()) {
            ShowMessage(this, Utf8(answer.message));
            return;
        }
    } catch (const FileError& error) {
        ShowMessage(this, Utf8(FileErrorMessage(error)));
        return;
    }
    ShowFields();
    const bool busy = console_->RecordState() != RecorderConsole::kIdle ||
                      console_->PlayState() != RecorderConsole::kIdle;
    if (busy) {
        failureWatch_.start(WatchInterval());
    } else {
        failureWatch_.stop();
    }
}

void CRecordPage::ShowFields() {
    fileNameEdit_->setText(fileName_);
    recordStatusEdit_->setText(recordStatus_);
    playStatusEdit_->setText(playStatus_);
}

void CRecordPage::WatchFailures() {
    if (auto text = console_->TakeRecordStart()) {
        recordStatus_ = Utf8(*text);
        failureWatch_.setInterval(WatchInterval());
    }
    if (auto text = console_->TakeRecordFailure()) {
        recordStatus_ = Utf8(*text);
    }
    if (auto text = console_->TakePlayFailure()) {
        playStatus_ = Utf8(*text);
    }
    recordStatusEdit_->setText(recordStatus_);
    playStatusEdit_->setText(playStatus_);
}

int CRecordPage::WatchInterval() const {
    // Quick while a recording waits for its first sound, so that "录音开始！" comes on time.
    return console_->AwaitsFirstSound() ? kStartWatchMs : kFailureWatchMs;
}

QString CRecordPage::ChooseWithDialog() {
    QFileDialog dialog(this, QString(),
                       QString::fromStdString(console_->RecordingsFolder().string()));
    dialog.setAcceptMode(QFileDialog::AcceptSave);  // asks before replacing a file
    dialog.setDefaultSuffix(QStringLiteral("wav"));
    dialog.setNameFilter(QStringLiteral("Wave Files (*.wav)"));
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

void CRecordPage::OnChooseFile() {
    const QString file = chooser_ ? chooser_() : ChooseWithDialog();
    if (file.isEmpty()) {
        return;
    }
    fileName_ = file;
    chosen_ = file.toStdString();
    ShowFields();
}

void CRecordPage::OnRecord() {
    fileName_ = fileNameEdit_->text();
    Carry(recordStatus_, [this] {
        return console_->Record(fileName_.toStdString(), [this](const std::filesystem::path& file) {
            return file == chosen_ || AskYesNo(this, Utf8("提醒"),
                                               Utf8("文件“%1”已经存在，要覆盖它吗？")
                                                   .arg(QString::fromStdString(file.string())));
        });
    });
}

void CRecordPage::OnPauseRecording() {
    // The name box is not read again: the recording already streams beside its file.
    Carry(recordStatus_, [this] { return console_->PauseRecording(); });
}

void CRecordPage::OnContinueRecording() {
    Carry(recordStatus_, [this] { return console_->ContinueRecording(); });
}

void CRecordPage::OnStopRecording() {
    Carry(recordStatus_, [this] { return console_->StopRecording(); });
}

void CRecordPage::OnPlay() {
    fileName_ = fileNameEdit_->text();
    Carry(playStatus_, [this] { return console_->Play(fileName_.toStdString()); });
}

void CRecordPage::OnPausePlaying() {
    Carry(playStatus_, [this] { return console_->PausePlaying(); });
}

void CRecordPage::OnContinuePlaying() {
    Carry(playStatus_, [this] { return console_->ContinuePlaying(); });
}

void CRecordPage::OnStopPlaying() {
    Carry(playStatus_, [this] { return console_->StopPlaying(); });
}

}  // namespace chimeon
