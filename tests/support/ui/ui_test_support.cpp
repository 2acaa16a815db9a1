#include "support/ui/ui_test_support.h"

#include <stdlib.h>

#include "broadcaster/broadcast_engine.h"

namespace chimeon::test {

QApplication& App() {
    static int argc = 1;
    static char name[] = "chimeon_ui_tests";
    static char* argv[] = {name, nullptr};
    // Other test files of this program may have made the application already.
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QApplication::setQuitOnLastWindowClosed(false);
        return *existing;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    auto* created = new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return *created;
}

void WaitForEngine(BroadcastEngine& engine) {
    QObject receiver;
    bool idle = false;
    engine.WhenIdle(&receiver, [&idle] { idle = true; });
    while (!idle) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

MessageCapture::MessageCapture() {
    previous_ = SetMessageHandler([this](QWidget*, const QString& text) { messages.append(text); });
}

MessageCapture::~MessageCapture() {
    SetMessageHandler(previous_);
}

}  // namespace chimeon::test
