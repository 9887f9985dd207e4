#include "views/SidePanel.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QListWidget>
#include <QPainter>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "model/Units.h"
#include "settings/Settings.h"
#include "views/CodedRadioGroup.h"

namespace fluvex {

namespace {

QToolButton* SpeedButton(const char* objectName, const QString& hint, const QIcon& icon) {
    auto* button = new QToolButton;
    button->setObjectName(objectName);
    button->setToolTip(hint);
    button->setIcon(icon);
    button->setAutoRaise(true);
    return button;
}

QToolButton* SpeedButton(const char* objectName, QAction* action) {
    QToolButton* button = SpeedButton(objectName, action->text(), action->icon());
    button->setDefaultAction(action);
    return button;
}

// A button that shows and runs a window command; it stays pressed while the window is open.
QToolButton* WindowButton(const char* objectName, QAction* action) {
    auto* button = new QToolButton;
    button->setObjectName(objectName);
    button->setDefaultAction(action);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return button;
}

}  // namespace

QIcon ColourScaleIcon(const QString& mark) {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const QRect bar(6, 2, 12, 20);
    QLinearGradient gradient(0, bar.bottom(), 0, bar.top());
    gradient.setColorAt(0.0, QColor(255, 0, 255));
    gradient.setColorAt(0.25, Qt::blue);
    gradient.setColorAt(0.5, Qt::green);
    gradient.setColorAt(0.75, Qt::yellow);
    gradient.setColorAt(1.0, Qt::red);
    painter.fillRect(bar, gradient);
    painter.setPen(Qt::black);
    painter.drawRect(bar);
    if (!mark.isEmpty()) {
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(12);
        painter.setFont(font);
        painter.drawText(bar, Qt::AlignCenter, mark);
    }
    return QIcon(pixmap);
}

SidePanel::SidePanel(const Commands& commands, QWidget* parent) : QWidget(parent) {
    setObjectName("pnlSide");
    setFixedWidth(kWidth);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    for (QAction* action : commands.contextMenu)
        addAction(action);

    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->setObjectName("splSide");
    splitter->addWidget(BuildLineArea(commands));
    splitter->addWidget(BuildChoiceArea(commands));
    splitter->setStretchFactor(0, 1);
    splitter->setChildrenCollapsible(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(BuildCommandButtons(commands));
    layout->addWidget(splitter, 1);
}

QWidget* SidePanel::BuildCommandButtons(const Commands& commands) {
    QToolButton* open =
        SpeedButton("btnOpen", tr("Open"), style()->standardIcon(QStyle::SP_DialogOpenButton));
    connect(open, &QToolButton::clicked, this, &SidePanel::OpenClicked);
    QToolButton* options = SpeedButton("btnViewOptions", tr("View Options"),
                                       style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    connect(options, &QToolButton::clicked, this, &SidePanel::ViewOptionsClicked);
    QToolButton* information = SpeedButton("btnFileInformation", tr("File Information"),
                                           style()->standardIcon(QStyle::SP_MessageBoxInformation));
    connect(information, &QToolButton::clicked, this, &SidePanel::FileInformationClicked);

    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QToolButton* button : {open, options, SpeedButton("btnColor", commands.colours),
                                SpeedButton("btnAutoScale", commands.autoScale), information})
        layout->addWidget(button);
    layout->addStretch();
    return row;
}

QWidget* SidePanel::BuildLineArea(const Commands& commands) {
    lstSelectFile_ = new QListWidget;
    lstSelectFile_->setObjectName("lstSelectFile");
    btnPrevious_ =
        SpeedButton("btnPrevious", tr("Previous"), style()->standardIcon(QStyle::SP_ArrowBack));
    connect(btnPrevious_, &QToolButton::clicked, this, &SidePanel::PreviousClicked);
    btnNext_ = SpeedButton("btnNext", tr("Next"), style()->standardIcon(QStyle::SP_ArrowForward));
    connect(btnNext_, &QToolButton::clicked, this, &SidePanel::NextClicked);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnPrevious_);
    buttons->addStretch();
    buttons->addWidget(SpeedButton("btnIgnore", commands.ignore));
    buttons->addStretch();
    buttons->addWidget(btnNext_);

    auto* area = new QWidget;
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(lstSelectFile_, 1);
    layout->addLayout(buttons);
    return area;
}

QWidget* SidePanel::BuildChoiceArea(const Commands& commands) {
    auto* windows = new QGridLayout;
    windows->setSpacing(2);
    int index = 0;
    for (const auto& [name, action] : commands.windows) {
        windows->addWidget(WindowButton(name, action), index / 2, index % 2);
        ++index;
    }

    rdoBottomTrack_ = new CodedRadioGroup("rdoBottomTrack", tr("Depth Reference"));
    connect(rdoBottomTrack_, &CodedRadioGroup::CodeChosen, this,
            [](int code) { AppSettings().SetBottomTrack(code); });
    rdoVelReference_ = new CodedRadioGroup("rdoVelReference", tr("Velocity Reference"));
    connect(rdoVelReference_, &CodedRadioGroup::CodeChosen, this,
            [](int code) { AppSettings().SetVelReference(code); });

    auto* unitLabel = new QLabel(tr("Velocity Units"));
    unitLabel->setObjectName("lblVelocityUnit");
    lstVelocityUnit_ = new QComboBox;
    lstVelocityUnit_->setObjectName("lstVelocityUnit");
    lstVelocityUnit_->addItems({tr("Millimeters/ Second"), tr("Centimeters/ Second"),
                                tr("Meters/ Second"), tr("Feet/ Second")});
    unitLabel->setBuddy(lstVelocityUnit_);
    connect(lstVelocityUnit_, &QComboBox::activated, this, [](int unit) {
        Settings& settings = AppSettings();
        if (unit == settings.VelocityUnits) return;
        // Like every processing choice: the lines are redone before the value changes.
        settings.Invalidate();
        settings.VelocityUnits = unit;
        SelectVelocityUnit(unit);
    });

    auto* area = new QWidget;
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(windows);
    layout->addWidget(rdoBottomTrack_);
    layout->addWidget(rdoVelReference_);
    layout->addWidget(unitLabel);
    layout->addWidget(lstVelocityUnit_);
    layout->addStretch();
    return area;
}

}  // namespace fluvex
