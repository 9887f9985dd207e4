#include "views/QtUserPrompt.h"
#include "views/ViewText.h"

#include <QMessageBox>
#include <QString>

namespace fluvex {

namespace {}  // namespace

void QtUserPrompt::ShowError(std::string_view text, std::string_view caption) {
    QMessageBox::critical(parent_, ToQString(caption), ToQString(text));
}

bool QtUserPrompt::AskYesNo(std::string_view text, std::string_view caption) {
    return QMessageBox::question(parent_, ToQString(caption), ToQString(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace fluvex
