#pragma once

#include <QMainWindow>

namespace fluvex {

// The main window. For now it only shows which settings and project the program runs with;
// the line list and the docked views are added with their features.
class TfrmMain final : public QMainWindow {
    Q_OBJECT

public:
    explicit TfrmMain(QWidget* parent = nullptr);
};

}  // namespace fluvex
