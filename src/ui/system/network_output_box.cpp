#include "ui/system/network_output_box.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>

#include "core/app/settings_store.h"
#include "ui/app/check_controls.h"

namespace chimeon {
namespace {

constexpr int kZonesPeriodMs = 2000;
constexpr int kFirstAnswerMs = 300;

QSpinBox* MakeSpin(QWidget* parent, int low, int high) {
    auto* spin = new QSpinBox(parent);
    spin->setRange(low, high);
    spin->setKeyboardTracking(false);  // one change when the number is complete
    return spin;
}

}  // namespace

NetworkOutputBox::NetworkOutputBox(const SettingsStore& section, Store store, QWidget* parent)
    : QGroupBox(QStringLiteral("网络广播（Snapcast，重新启动后生效）"), parent),
      section_(section),
      store_(std::move(store)) {
    enabled_ = new QCheckBox(QStringLiteral("通过网络广播服务器播放"), this);
    host_ = new QLineEdit(this);
    streamPort_ = MakeSpin(this, 1, 65535);
    controlPort_ = MakeSpin(this, 1, 65535);
    buffer_ = MakeSpin(this, 0, kMaxNetworkBufferMs);
    buffer_->setSuffix(QStringLiteral(" 毫秒"));
    localToo_ = new QCheckBox(QStringLiteral("本机声卡同时播放"), this);
    auto* layout = new QFormLayout(this);
    layout->addRow(enabled_);
    layout->addRow(QStringLiteral("服务器地址："), host_);
    layout->addRow(QStringLiteral("声音端口："), streamPort_);
    layout->addRow(QStringLiteral("控制端口："), controlPort_);
    layout->addRow(QStringLiteral("服务器缓冲："), buffer_);
    layout->addRow(localToo_);
    OnToggled(enabled_, this, [this](bool) { Changed(); });
    OnToggled(localToo_, this, [this](bool) { Changed(); });
    connect(host_, &QLineEdit::editingFinished, this, &NetworkOutputBox::Changed);
    for (QSpinBox* spin : {streamPort_, controlPort_, buffer_}) {
        connect(spin, &QSpinBox::valueChanged, this, &NetworkOutputBox::Changed);
    }
    ShowStored();
}

void NetworkOutputBox::ShowStored() {
    const NetworkOutputSettings stored = ReadNetworkOutputSettings(section_);
    SetCheckedQuietly(enabled_, stored.enabled);
    SetCheckedQuietly(localToo_, stored.localToo);
    const QSignalBlocker blockHost(host_);
    host_->setText(QString::fromStdString(stored.host));
    const std::pair<QSpinBox*, int> spins[] = {{streamPort_, stored.streamPort},
                                               {controlPort_, stored.controlPort},
                                               {buffer_, stored.bufferMs}};
    for (const auto& [spin, value] : spins) {
        const QSignalBlocker block(spin);
        spin->setValue(value);
    }
}

void NetworkOutputBox::FollowZones(std::function<ZoneSnapshot()> zones) {
    zones_ = std::move(zones);
    zonesView_ = new QPlainTextEdit(this);
    zonesView_->setReadOnly(true);
    zonesView_->setMaximumHeight(fontMetrics().height() * 6);
    static_cast<QFormLayout*>(layout())->addRow(QStringLiteral("分  区："), zonesView_);
    zonesTimer_ = new QTimer(this);
    connect(zonesTimer_, &QTimer::timeout, this, &NetworkOutputBox::ShowZones);
    if (isVisible()) {
        ShowZones();
        zonesTimer_->start(kZonesPeriodMs);
    }
}

void NetworkOutputBox::showEvent(QShowEvent* event) {
    QGroupBox::showEvent(event);
    if (zonesTimer_ != nullptr && !zonesTimer_->isActive()) {
        ShowZones();
        zonesTimer_->start(kZonesPeriodMs);
        // The answer to that first ask, without waiting a whole period for it.
        QTimer::singleShot(kFirstAnswerMs, this, [this] {
            if (zonesTimer_->isActive()) {
                ShowZones();
            }
        });
    }
}

void NetworkOutputBox::hideEvent(QHideEvent* event) {
    QGroupBox::hideEvent(event);
    if (zonesTimer_ != nullptr) {
        zonesTimer_->stop();  // nobody reads them: the broadcaster is not asked either
    }
}

void NetworkOutputBox::ShowZones() {
    const QString text = QString::fromStdString(ZonesText(zones_(), [](std::int64_t sec) {
        return sec > 0 ? QDateTime::fromSecsSinceEpoch(sec)
                             .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                             .toStdString()
                       : std::string("（从未）");
    }));
    if (text != zonesView_->toPlainText()) {
        zonesView_->setPlainText(text);
    }
}

void NetworkOutputBox::Changed() {
    NetworkOutputSettings wanted = ReadNetworkOutputSettings(section_);
    wanted.enabled = enabled_->isChecked();
    wanted.host = host_->text().trimmed().toStdString();
    wanted.streamPort = streamPort_->value();
    wanted.controlPort = controlPort_->value();
    wanted.bufferMs = buffer_->value();
    wanted.localToo = localToo_->isChecked();
    if (wanted == ReadNetworkOutputSettings(section_)) {
        return;
    }
    const std::string message = store_(wanted);
    ShowStored();
    if (!message.empty()) {
        emit refused(QString::fromStdString(message));
    }
}

}  // namespace chimeon
