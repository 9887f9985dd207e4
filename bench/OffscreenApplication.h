#pragma once

// Painting needs a GUI application (one with widgets, for the panels); without a display it runs
// on the offscreen platform.

#include <QApplication>

namespace fluvex::bench {

inline QGuiApplication& Application() {
    static int argc = 1;
    static char name[] = "fluvex_view_bench";
    static char* argv[] = {name, nullptr};
    static QApplication application = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        return QApplication(argc, argv);
    }();
    return application;
}

}  // namespace fluvex::bench
