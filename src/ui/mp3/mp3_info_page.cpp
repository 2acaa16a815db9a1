#include "ui/mp3/mp3_info_page.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "core/mp3/genre_names.h"
#include "ui/app/qt_text.h"

namespace chimeon {

namespace {

std::optional<QString> OpenMp3WithQt(QWidget* parent) {
    QString path =
        QFileDialog::getOpenFileName(parent, QString(), QString(), QStringLiteral("MP3's (*.mp3)"));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

// Runs on a worker: touches nothing but its own copies.
Mp3InfoView ReadOffThread(const std::string& path, std::shared_ptr<std::atomic<bool>> stop) {
    CMp3Info info;
    bool opened = false;
    try {
        opened = info.Load(path, stop.get());
    } catch (...) {
        opened = false;  // reported as a file that could not be read
    }
    return MakeMp3InfoView(path, opened, info);
}

}  // namespace

CMp3InfoPage::CMp3InfoPage(QWidget* parent)
    : CSubDialog(kTemplateId, parent), m_fileChooser(OpenMp3WithQt) {}

CMp3InfoPage::~CMp3InfoPage() {
    // A read still running gives up soon; its answer goes nowhere.
    if (m_stop) {
        m_stop->store(true);
    }
}

void CMp3InfoPage::OnInitDialog() {
    setObjectName(QStringLiteral("mp3InfoPage"));
    m_filePath = new QLineEdit(this);
    m_choose = new QPushButton(QStringLiteral(">>"), this);
    auto readOnlyField = [this] {
        auto* field = new QLineEdit(this);
        field->setReadOnly(true);
        return field;
    };
    m_title = readOnlyField();
    m_artist = readOnlyField();
    m_album = readOnlyField();
    m_track = readOnlyField();
    m_year = readOnlyField();
    m_comment = readOnlyField();
    m_genre = new QComboBox(this);
    m_genre->addItem(QString());
    for (std::string_view name : kGenreNames) {
        m_genre->addItem(Utf8(name));
    }
    m_report = new QPlainTextEdit(this);
    m_report->setReadOnly(true);
    m_report->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_report->setAccessibleName(QStringLiteral("MP3 文件结构信息"));
    m_busy = new QProgressBar(this);
    m_busy->setRange(0, 0);  // reading: no end known beforehand
    m_busy->setTextVisible(false);
    m_busy->hide();

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_filePath, 1);
    fileRow->addWidget(m_choose);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("MP3文件："), fileRow);
    // A row of two controls gets no buddy by itself; the path box takes the label's name.
    if (auto* label = qobject_cast<QLabel*>(form->labelForField(fileRow))) {
        label->setBuddy(m_filePath);
    }
    form->addRow(QStringLiteral("标题："), m_title);
    form->addRow(QStringLiteral("歌手："), m_artist);
    form->addRow(QStringLiteral("专辑："), m_album);
    form->addRow(QStringLiteral("曲目："), m_track);
    form->addRow(QStringLiteral("年代："), m_year);
    form->addRow(QStringLiteral("流派："), m_genre);
    form->addRow(QStringLiteral("备注："), m_comment);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_report, 1);
    layout->addWidget(m_busy);
    m_track->setText(QStringLiteral("0"));
    m_genre->setCurrentIndex(-1);

    connect(m_choose, &QPushButton::clicked, this, &CMp3InfoPage::ChooseFile);
}

void CMp3InfoPage::ChooseFile() {
    std::optional<QString> chosen = m_fileChooser ? m_fileChooser(this) : std::nullopt;
    if (!chosen) {
        return;
    }
    m_filePath->setText(*chosen);
    Analyse(*chosen);
}

bool CMp3InfoPage::IsReading() const {
    return m_busy != nullptr && !m_busy->isHidden();
}

void CMp3InfoPage::Analyse(const QString& path) {
    if (!IsCreated()) {
        return;
    }
    if (m_stop) {
        m_stop->store(true);  // a newer choice replaces a read still running
    }
    m_stop = std::make_shared<std::atomic<bool>>(false);
    const std::uint64_t request = ++m_request;
    m_busy->show();
    auto* watcher = new QFutureWatcher<Mp3InfoView>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, request] {
        watcher->deleteLater();
        if (request == m_request) {
            m_busy->hide();
            ShowView(watcher->result());
        }
    });
    watcher->setFuture(
        QtConcurrent::run(ReadOffThread, QFile::encodeName(path).toStdString(), m_stop));
}

void CMp3InfoPage::ShowView(const Mp3InfoView& view) {
    m_title->setText(Utf8(view.title));
    m_artist->setText(Utf8(view.artist));
    m_album->setText(Utf8(view.album));
    m_comment->setText(Utf8(view.comment));
    m_year->setText(Utf8(view.year));
    m_track->setText(QString::number(view.track));
    m_genre->setCurrentIndex(view.genreIndex);
    QStringList lines;
    for (const std::string& line : view.reportLines) {
        lines << Utf8(line);
    }
    m_report->setPlainText(lines.join(QLatin1Char('\n')));
    emit reportShown();
}

}  // namespace chimeon
