#include "views/TfrmHelp.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace fluvex {

namespace {

const QUrl kContents(QStringLiteral("qrc:/help/index.html"));

QPushButton* AddButton(QHBoxLayout* row, const QString& objectName, const QString& text) {
    auto* button = new QPushButton(text);
    button->setObjectName(objectName);
    row->addWidget(button);
    return button;
}

}  // namespace

TfrmHelp::TfrmHelp(QWidget* parent) : QWidget(parent, Qt::Window), browser_(new QTextBrowser) {
    setObjectName("frmHelp");
    setWindowTitle(tr("Fluvex Help"));
    browser_->setObjectName("txtHelp");
    browser_->setOpenExternalLinks(true);

    auto* buttons = new QHBoxLayout;
    QPushButton* back = AddButton(buttons, "btnHelpBack", tr("Back"));
    QPushButton* forward = AddButton(buttons, "btnHelpForward", tr("Forward"));
    QPushButton* contents = AddButton(buttons, "btnHelpContents", tr("Contents"));
    buttons->addStretch();
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(contents, &QPushButton::clicked, this, &TfrmHelp::ShowContents);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser_);
    resize(720, 640);
}

void TfrmHelp::ShowContents() {
    browser_->setSource(kContents);
    show();
    raise();
    activateWindow();
}

}  // namespace fluvex
