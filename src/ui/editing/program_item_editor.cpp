#include "ui/editing/program_item_editor.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStringList>
#include <QTime>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "core/engine/duration_probe.h"
#include "core/io/case_folding_lookup.h"
#include "core/schedule/media_kind.h"
#include "ui/app/check_controls.h"
#include "ui/app/qt_text.h"

namespace chimeon {
namespace {

std::string S(const QString& text) {
    return text.toStdString();
}

QTime ToQTime(TimeOfDay time) {
    return QTime(time.hour, time.minute, time.second);
}
TimeOfDay FromQTime(const QTime& time) {
    return TimeOfDay{time.hour(), time.minute(), time.second()};
}

QTimeEdit* MakeTimePicker(QWidget* parent) {
    auto* picker = new QTimeEdit(parent);
    picker->setDisplayFormat("H:mm:ss");
    picker->setAlignment(Qt::AlignRight);
    picker->setTime(ToQTime(TimeOfDay{}));
    return picker;
}

std::optional<QString> OpenFileWithQt(QWidget* parent) {
    QStringList filters;
    for (std::string_view filter : kMediaFileFilters) {
        filters << Utf8(filter);
    }
    QString selected = filters.front();
    QString path =
        QFileDialog::getOpenFileName(parent, QString(), QString(), filters.join(";;"), &selected);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

std::optional<QString> BrowseFolderWithQt(QWidget* parent) {
    QString path =
        QFileDialog::getExistingDirectory(parent, QString(), QString(), QFileDialog::ShowDirsOnly);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

void ShowMessageBox(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

// The probe gets the path the way the operator chose it; when that does not name a file exactly
// (a stored lower-case path on a case-sensitive file system), it is resolved ignoring case.
std::string MeasureOffThread(const ProgramItemEditor::DurationProbe& probe,
                             const std::string& path) {
    try {
        std::string target = path;
        if (auto resolved = ResolvePathIgnoringCase(path)) {
            target = resolved->string();
        }
        return probe(target);
    } catch (...) {
        return {};  // an unreadable file shows "00:00", never an error
    }
}

}  // namespace

ProgramItemEditor::ProgramItemEditor(DurationProbe probe, QWidget* parent)
    : QDialog(parent),
      probe_(std::move(probe)),
      fileChooser_(OpenFileWithQt),
      folderChooser_(BrowseFolderWithQt),
      messageSink_(ShowMessageBox) {
    setWindowTitle(Utf8(kItemEditorTitle));
    setModal(true);
    BuildControls();
    SetFields(ItemEditorFields{});
}

ProgramItemEditor::~ProgramItemEditor() = default;

std::optional<ProgramItem> ProgramItemEditor::Edit(QWidget* parent, DurationProbe probe,
                                                   const ProgramItem* item) {
    return Edit(parent, std::move(probe),
                item != nullptr ? FieldsFromItem(*item) : ItemEditorFields{});
}

std::optional<ProgramItem> ProgramItemEditor::Edit(QWidget* parent, DurationProbe probe,
                                                   const ItemEditorFields& fields) {
    ProgramItemEditor editor(std::move(probe), parent);
    editor.SetFields(fields);
    if (editor.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return editor.Item();
}

void ProgramItemEditor::BuildControls() {
    auto* layout = new QVBoxLayout(this);

    auto* titleRow = new QHBoxLayout;
    auto* titleLabel = new QLabel(Utf8("标  题："), this);
    titleRow->addWidget(titleLabel);
    title_ = new QLineEdit(this);
    titleLabel->setBuddy(title_);
    title_->setObjectName("title");
    titleRow->addWidget(title_);
    layout->addLayout(titleRow);

    auto* source = new QGridLayout;
    fileRadio_ = new QRadioButton(Utf8("文  件"), this);
    fileRadio_->setObjectName("fileRadio");
    filePath_ = new QLineEdit(this);
    filePath_->setObjectName("filePath");
    fileButton_ = new QPushButton(Utf8(">>"), this);
    fileButton_->setObjectName("fileButton");
    source->addWidget(fileRadio_, 0, 0);
    source->addWidget(filePath_, 0, 1, 1, 4);
    source->addWidget(fileButton_, 0, 5);

    duration_ = new QLabel(this);
    duration_->setObjectName("duration");
    duration_->setMinimumWidth(duration_->fontMetrics().horizontalAdvance("000:00"));
    source->addWidget(new QLabel(Utf8("时  长："), this), 1, 1);
    source->addWidget(duration_, 1, 2);
    source->addWidget(new QLabel(Utf8("（只支持mp3和wav文件）"), this), 1, 3, 1, 2);

    volume_ = new QLineEdit(this);
    volume_->setObjectName("volume");
    volume_->setMaximumWidth(volume_->fontMetrics().horizontalAdvance("00000000"));
    auto* volumeLabel = new QLabel(Utf8("初始音量："), this);
    volumeLabel->setBuddy(volume_);
    source->addWidget(volumeLabel, 2, 1);
    source->addWidget(volume_, 2, 2);
    source->addWidget(new QLabel(Utf8("%   （只支持MP3文件）"), this), 2, 3, 1, 2);

    folderRadio_ = new QRadioButton(Utf8("目  录"), this);
    folderRadio_->setObjectName("folderRadio");
    folderPath_ = new QLineEdit(this);
    folderPath_->setObjectName("folderPath");
    folderButton_ = new QPushButton(Utf8(">>"), this);
    folderButton_->setObjectName("folderButton");
    source->addWidget(folderRadio_, 3, 0);
    source->addWidget(folderPath_, 3, 1, 1, 4);
    source->addWidget(folderButton_, 3, 5);

    inOrder_ = new QRadioButton(Utf8("顺序播放"), this);
    inOrder_->setObjectName("inOrder");
    random_ = new QRadioButton(Utf8("随机播放"), this);
    random_->setObjectName("random");
    source->addWidget(inOrder_, 4, 1, 1, 2);
    source->addWidget(random_, 4, 3, 1, 2);
    source->setColumnStretch(4, 1);
    layout->addLayout(source);

    auto* sourceGroup = new QButtonGroup(this);
    sourceGroup->addButton(fileRadio_, static_cast<int>(SourceKind::kFile));
    sourceGroup->addButton(folderRadio_, static_cast<int>(SourceKind::kFolder));
    auto* orderGroup = new QButtonGroup(this);
    orderGroup->addButton(inOrder_);
    orderGroup->addButton(random_);

    auto* times = new QHBoxLayout;
    auto* startBox = new QGroupBox(Utf8("播音开始时间"), this);
    auto* startLayout = new QGridLayout(startBox);
    startChained_ = new QRadioButton(Utf8("紧接在前一个节目之后"), startBox);
    startChained_->setObjectName("startChained");
    startAtTime_ = new QRadioButton(Utf8("指定播放时间："), startBox);
    startAtTime_->setObjectName("startAtTime");
    startTime_ = MakeTimePicker(startBox);
    startTime_->setObjectName("startTime");
    startLayout->addWidget(startChained_, 0, 0, 1, 2);
    startLayout->addWidget(startAtTime_, 1, 0);
    startLayout->addWidget(startTime_, 1, 1);
    times->addWidget(startBox);

    auto* endBox = new QGroupBox(Utf8("播音结束时间"), this);
    auto* endLayout = new QGridLayout(endBox);
    endOnce_ = new QRadioButton(Utf8("只播放一遍，之后停止"), endBox);
    endOnce_->setObjectName("endOnce");
    endAtTime_ = new QRadioButton(Utf8("循环播放到某一时间："), endBox);
    endAtTime_->setObjectName("endAtTime");
    endTime_ = MakeTimePicker(endBox);
    endTime_->setObjectName("endTime");
    endLayout->addWidget(endOnce_, 0, 0, 1, 2);
    endLayout->addWidget(endAtTime_, 1, 0);
    endLayout->addWidget(endTime_, 1, 1);
    times->addWidget(endBox);
    layout->addLayout(times);
    // Boxes and pickers that stand after a radio button carry its text as their name.
    filePath_->setAccessibleName(fileRadio_->text());
    folderPath_->setAccessibleName(folderRadio_->text());
    startTime_->setAccessibleName(startAtTime_->text());
    endTime_->setAccessibleName(endAtTime_->text());

    auto* buttons = new QDialogButtonBox(this);
    auto* ok = buttons->addButton(Utf8("确定"), QDialogButtonBox::AcceptRole);
    ok->setObjectName("ok");
    ok->setDefault(true);
    buttons->addButton(Utf8("取消"), QDialogButtonBox::RejectRole)->setObjectName("cancel");
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &ProgramItemEditor::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ProgramItemEditor::reject);
    OnIdChecked(sourceGroup, this,
                [this](int source) { ApplySourceLayout(static_cast<SourceKind>(source)); });
    // Each pair's second button is unchecked whenever the first is checked, and the other way.
    OnToggled(startAtTime_, startTime_, &QWidget::setEnabled);
    OnToggled(endAtTime_, endTime_, &QWidget::setEnabled);
    connect(fileButton_, &QPushButton::clicked, this, &ProgramItemEditor::ChooseFile);
    connect(folderButton_, &QPushButton::clicked, this, &ProgramItemEditor::ChooseFolder);
    connect(filePath_, &QLineEdit::textChanged, this, [this] { MeasurePlayTime(); });
}

void ProgramItemEditor::SetFields(const ItemEditorFields& fields) {
    ++measurement_;  // whatever was being measured belongs to the old contents
    title_->setText(Utf8(fields.title));
    {
        // Filling the box is not the operator changing it: nothing is measured.
        const QSignalBlocker blocker(filePath_);
        filePath_->setText(Utf8(fields.filePath));
    }
    duration_->setText(Utf8(fields.durationText));
    volume_->setText(Utf8(fields.volumeText));
    folderPath_->setText(Utf8(fields.folderPath));
    (fields.randomOrder ? random_ : inOrder_)->setChecked(true);
    (fields.startAtTime ? startAtTime_ : startChained_)->setChecked(true);
    startTime_->setTime(ToQTime(fields.startTime));
    startTime_->setEnabled(fields.startAtTime);
    (fields.endAtTime ? endAtTime_ : endOnce_)->setChecked(true);
    endTime_->setTime(ToQTime(fields.endTime));
    endTime_->setEnabled(fields.endAtTime);
    (fields.source == SourceKind::kFolder ? folderRadio_ : fileRadio_)->setChecked(true);
    ApplySourceLayout(fields.source);
}

ItemEditorFields ProgramItemEditor::Fields() const {
    ItemEditorFields fields;
    fields.title = S(title_->text());
    fields.source = folderRadio_->isChecked() ? SourceKind::kFolder : SourceKind::kFile;
    fields.filePath = S(filePath_->text());
    fields.durationText = S(duration_->text());
    fields.volumeText = S(volume_->text());
    fields.folderPath = S(folderPath_->text());
    fields.randomOrder = random_->isChecked();
    fields.startAtTime = startAtTime_->isChecked();
    fields.startTime = FromQTime(startTime_->time());
    fields.endAtTime = endAtTime_->isChecked();
    fields.endTime = FromQTime(endTime_->time());
    return fields;
}

void ProgramItemEditor::ApplySourceLayout(SourceKind source) {
    const bool file = source == SourceKind::kFile;
    filePath_->setEnabled(file);
    fileButton_->setEnabled(file);
    volume_->setEnabled(file);
    folderPath_->setEnabled(!file);
    folderButton_->setEnabled(!file);
    inOrder_->setEnabled(!file);
    random_->setEnabled(!file);
}

void ProgramItemEditor::accept() {
    ItemEditorFields fields = Fields();
    FieldsCheck check = CheckFields(fields);
    if (!check.ok) {
        messageSink_(this, Utf8(kReminderTitle), Utf8(check.message));
        if (check.volumeProblem) {
            volume_->setFocus();
            volume_->selectAll();
        }
        return;
    }
    item_ = ItemFromFields(fields);
    QDialog::accept();
}

void ProgramItemEditor::ChooseFile() {
    std::optional<QString> chosen = fileChooser_ ? fileChooser_(this) : std::nullopt;
    if (!chosen) {
        return;  // the path stays as it was
    }
    {
        const QSignalBlocker blocker(filePath_);
        filePath_->setText(*chosen);
    }
    MeasurePlayTime();
}

void ProgramItemEditor::ChooseFolder() {
    std::optional<QString> chosen = folderChooser_ ? folderChooser_(this) : std::nullopt;
    // A cancelled browser empties the folder path.
    folderPath_->setText(chosen ? Utf8(WithTrailingSeparator(S(*chosen))) : QString());
}

void ProgramItemEditor::MeasurePlayTime() {
    const std::uint64_t request = ++measurement_;
    duration_->setText(Utf8(kUnmeasuredDuration));
    std::string path = S(filePath_->text());
    if (!probe_ || !IsMeasuredMedia(path)) {
        return;
    }
    // An MP3 file is read through to measure it: never on the window's thread.
    auto* watcher = new QFutureWatcher<std::string>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, request, path] {
        watcher->deleteLater();
        ShowMeasured(request, path, watcher->result());
    });
    watcher->setFuture(QtConcurrent::run(MeasureOffThread, probe_, path));
}

void ProgramItemEditor::ShowMeasured(std::uint64_t request, const std::string& askedPath,
                                     const std::string& text) {
    if (request != measurement_ || S(filePath_->text()) != askedPath || text.empty()) {
        return;  // a later change asked again, or nothing was measured ("00:00" stays)
    }
    duration_->setText(Utf8(text));
    // The box shows the path the way it will be stored; writing it is no change of the
    // operator's, so it must not start another measurement.
    const QSignalBlocker blocker(filePath_);
    const int cursor = filePath_->cursorPosition();
    filePath_->setText(Utf8(LowerCaseAscii(askedPath)));
    filePath_->setCursorPosition(cursor);
    emit DurationShown(duration_->text());
}

std::optional<ProgramItem> EditWithDurationProbe(QWidget* parent, const ProgramItem* item) {
    return ProgramItemEditor::Edit(
        parent, [](const std::string& path) { return ProbeDuration(path).value_or(""); }, item);
}

}  // namespace chimeon
