#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/schedule/item_editor_form.h"
#include "core/schedule/program_item.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimeEdit;

namespace chimeon {

// The modal dialog in which the operator makes or changes one program item. It knows nothing of
// tables: the caller hands an item in, and after "确定" takes the edited item out and decides
// where it belongs (the row it came from may be gone by then).
class ProgramItemEditor : public QDialog {
    Q_OBJECT

public:
    // The play time of a file as "%d:%02d", or an empty text when it cannot be measured. Runs on
    // a worker thread: it must not touch the dialog.
    using DurationProbe = std::function<std::string(const std::string& path)>;
    // A chosen file or folder, nothing when the operator cancelled.
    using PathChooser = std::function<std::optional<QString>(QWidget* parent)>;
    // Shows a message to the operator (a message box with an OK button).
    using MessageSink =
        std::function<void(QWidget* parent, const QString& title, const QString& text)>;

    explicit ProgramItemEditor(DurationProbe probe, QWidget* parent = nullptr);
    ~ProgramItemEditor() override;

    // Shows the editor modally for a new item (`item` null) or a copy of `item`; the edited item
    // after "确定", nothing after "取消".
    static std::optional<ProgramItem> Edit(QWidget* parent, DurationProbe probe,
                                           const ProgramItem* item);
    // The same for fields the caller made (a row of today's list keeps its play time).
    static std::optional<ProgramItem> Edit(QWidget* parent, DurationProbe probe,
                                           const ItemEditorFields& fields);

    // Fills the controls; a new item starts from ItemEditorFields' defaults.
    void SetFields(const ItemEditorFields& fields);
    void SetItem(const ProgramItem& item) { SetFields(FieldsFromItem(item)); }
    // What the controls hold now.
    ItemEditorFields Fields() const;
    // The item made on "确定"; meaningful once the dialog was accepted.
    const ProgramItem& Item() const { return item_; }

    // Replace Qt's own dialogs (tests; a desktop without them).
    void SetFileChooser(PathChooser chooser) { fileChooser_ = std::move(chooser); }
    void SetFolderChooser(PathChooser chooser) { folderChooser_ = std::move(chooser); }
    void SetMessageSink(MessageSink sink) { messageSink_ = std::move(sink); }

public slots:
    // "确定": checks the fields, stays open with a message when one is wrong.
    void accept() override;
    // The ">>" buttons.
    void ChooseFile();
    void ChooseFolder();

signals:
    // A measured play time was shown (the answer to the latest request only).
    void DurationShown(const QString& text);

private:
    void BuildControls();
    void ApplySourceLayout(SourceKind source);
    void MeasurePlayTime();
    void ShowMeasured(std::uint64_t request, const std::string& askedPath, const std::string& text);

    DurationProbe probe_;
    PathChooser fileChooser_;
    PathChooser folderChooser_;
    MessageSink messageSink_;
    ProgramItem item_;
    std::uint64_t measurement_ = 0;  // the latest request; older answers are dropped

    QLineEdit* title_ = nullptr;
    QRadioButton* fileRadio_ = nullptr;
    QRadioButton* folderRadio_ = nullptr;
    QLineEdit* filePath_ = nullptr;
    QPushButton* fileButton_ = nullptr;
    QLabel* duration_ = nullptr;
    QLineEdit* volume_ = nullptr;
    QLineEdit* folderPath_ = nullptr;
    QPushButton* folderButton_ = nullptr;
    QRadioButton* inOrder_ = nullptr;
    QRadioButton* random_ = nullptr;
    QRadioButton* startChained_ = nullptr;
    QRadioButton* startAtTime_ = nullptr;
    QTimeEdit* startTime_ = nullptr;
    QRadioButton* endOnce_ = nullptr;
    QRadioButton* endAtTime_ = nullptr;
    QTimeEdit* endTime_ = nullptr;
};

// Opens the editor for a new item (`item` null) or a copy of one: the edited item, nothing when
// cancelled. The pages take one of these so that tests can answer in the editor's place.
using ItemEditFunction =
    std::function<std::optional<ProgramItem>(QWidget* parent, const ProgramItem* item)>;
// The program item editor measuring play times with the duration probe.
std::optional<ProgramItem> EditWithDurationProbe(QWidget* parent, const ProgramItem* item);

}  // namespace chimeon
