#pragma once

#include <QApplication>

namespace chimeon::test {

// One QApplication for the editor and fader tests, made on first use (another test file of this
// program may have made it already).
inline void EnsureEditorTestApp() {
    if (QApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "chimeon_ui_tests";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
}

}  // namespace chimeon::test
