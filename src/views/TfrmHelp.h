#pragma once

#include <QWidget>

class QTextBrowser;

namespace fluvex {

// The program's help: HTML pages built into the program, with back, forward and contents.
class TfrmHelp final : public QWidget {
    Q_OBJECT

public:
    explicit TfrmHelp(QWidget* parent = nullptr);

    // Shows the contents page and brings the window to the front.
    void ShowContents();

private:
    QTextBrowser* browser_;
};

}  // namespace fluvex
