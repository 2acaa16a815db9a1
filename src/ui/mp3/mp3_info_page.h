#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "core/mp3/mp3_info_report.h"
#include "ui/app/sub_dialog.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace chimeon {

// The MP3 information page: the ID3v1 tag of one chosen file in read-only fields and its frame
// facts as the report `chimeonctl mp3info` prints. The file is read on a worker thread, so a
// large one never holds up the window. Nothing here writes to the file.
class CMp3InfoPage : public CSubDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 153;
    // The chosen file, nothing when the operator cancelled.
    using FileChooser = std::function<std::optional<QString>(QWidget* parent)>;

    explicit CMp3InfoPage(QWidget* parent = nullptr);
    ~CMp3InfoPage() override;

    // Replaces Qt's file dialog (tests).
    void SetFileChooser(FileChooser chooser) { fileChooser_ = std::move(chooser); }
    // ">>": choose a file, show its path and analyse it.
    void ChooseFile();
    // Reads the file off the window's thread; the answer to the latest request is shown.
    void Analyse(const QString& path);
    bool IsReading() const;

    QLineEdit* filePath() const { return m_filePath; }
    QLineEdit* titleField() const { return m_title; }
    QLineEdit* artistField() const { return m_artist; }
    QLineEdit* trackField() const { return m_track; }
    QComboBox* genreBox() const { return m_genre; }
    QPlainTextEdit* report() const { return m_report; }

signals:
    // The view of an analysed file is on the page.
    void reportShown();

protected:
    void OnInitDialog() override;

private:
    void ShowView(const Mp3InfoView& view);

    FileChooser fileChooser_;
    std::uint64_t request_ = 0;
    std::shared_ptr<std::atomic<bool>> stop_;
    QLineEdit* m_filePath = nullptr;
    QPushButton* m_choose = nullptr;
    QLineEdit* m_title = nullptr;
    QLineEdit* m_artist = nullptr;
    QLineEdit* m_album = nullptr;
    QLineEdit* m_track = nullptr;
    QLineEdit* m_year = nullptr;
    QComboBox* m_genre = nullptr;
    QLineEdit* m_comment = nullptr;
    QPlainTextEdit* m_report = nullptr;
    QProgressBar* m_busy = nullptr;
};

}  // namespace chimeon
