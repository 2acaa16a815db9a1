#pragma once

#include <QString>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>

#include "core/audio/recorder_console.h"
#include "ui/app/sub_dialog.h"

class QComboBox;
class QLineEdit;

namespace chimeon {

class PcmSystem;

// The recorder page: records an announcement from the default input into a WAV file and plays
// a WAV file back. Each button answers in the status line of its group; the device box lists
// the sound devices and is never read (the default devices are always used).
class CRecordPage : public CSubDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 148;
    static constexpr int kFailureWatchMs = 250;
    // How often the page looks for the first sound of a recording that is starting.
    static constexpr int kStartWatchMs = 20;
    // The user's music folder (XDG_MUSIC_DIR, else ~/Music).
    static std::filesystem::path MusicFolder();

    // `recordingsFolder` empty: the user's music folder (XDG_MUSIC_DIR, else ~/Music).
    explicit CRecordPage(PcmSystem& system, std::filesystem::path recordingsFolder = {},
                         QWidget* parent = nullptr);
    ~CRecordPage() override;

    void OnChooseFile();
    void OnRecord();
    void OnPauseRecording();
    void OnContinueRecording();
    void OnStopRecording();
    void OnPlay();
    void OnPausePlaying();
    void OnContinuePlaying();
    void OnStopPlaying();

    // A recording in progress, and where ending the program keeps it.
    QString WorkInProgress() const override;

    RecorderConsole& console() { return *console_; }
    QComboBox* deviceBox() const { return deviceBox_; }
    QLineEdit* fileNameEdit() const { return fileNameEdit_; }
    QLineEdit* recordStatusEdit() const { return recordStatusEdit_; }
    QLineEdit* playStatusEdit() const { return playStatusEdit_; }
    // Tests replace the file dialog: the chosen path, or "" when cancelled.
    void SetFileChooser(std::function<QString()> chooser) { chooser_ = std::move(chooser); }

protected:
    void OnInitDialog() override;

private:
    // Runs a command and shows its answer in `line`; a file error is said in a message box and
    // ends the command there.
    void Carry(QString& line, const std::function<RecorderConsole::Answer()>& command);
    void ShowFields();
    void WatchFailures();
    int WatchInterval() const;
    QString ChooseWithDialog();

    std::unique_ptr<RecorderConsole> console_;
    QString fileName_;
    QString recordStatus_;
    QString playStatus_;
    std::filesystem::path chosen_;  // the dialog asked about replacing this one already
    QComboBox* deviceBox_ = nullptr;
    QLineEdit* fileNameEdit_ = nullptr;
    QLineEdit* recordStatusEdit_ = nullptr;
    QLineEdit* playStatusEdit_ = nullptr;
    QTimer failureWatch_;
    std::function<QString()> chooser_;
};

}  // namespace chimeon
