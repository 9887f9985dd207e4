#include "views/DockSite.h"

#include <QAction>
#include <QDockWidget>
#include <QGuiApplication>
#include <QScreen>

#include <memory>

#include "services/DebugOutput.h"
#include "services/IniFile.h"

namespace fluvex {

namespace {

constexpr QPoint kReachablePlace{20, 20};

QRect DesktopArea() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableVirtualGeometry() : QRect();
}

}  // namespace

bool IsBeyondDesktop(const QPoint& topLeft, const QRect& desktop) {
    return topLeft.y() >= desktop.top() + desktop.height() ||
           topLeft.x() >= desktop.left() + desktop.width();
}

DockSite::DockSite(QWidget* parent) : QMainWindow(parent) {
    setObjectName("dockSite");
    // A plain child of the main window, not a window of its own.
    setWindowFlags(Qt::Widget);
    setDockOptions(AnimatedDocks | AllowNestedDocks | AllowTabbedDocks);
    setTabPosition(Qt::AllDockWidgetAreas, QTabWidget::North);
}

QDockWidget* DockSite::AddPanel(const QString& objectName, const QString& title, QWidget* view) {
    auto* panel = new QDockWidget(title, this);
    panel->setObjectName(objectName);
    panel->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                       QDockWidget::DockWidgetFloatable);
    panel->setWidget(view);
    addDockWidget(Qt::LeftDockWidgetArea, panel);
    if (firstPanel_ == nullptr)
        firstPanel_ = panel;
    else
        tabifyDockWidget(firstPanel_, panel);
    return panel;
}

QDockWidget* DockSite::FindPanel(const QString& name) const {
    for (QDockWidget* panel : findChildren<QDockWidget*>(Qt::FindDirectChildrenOnly))
        if (panel->objectName() == name ||
            panel->windowTitle().compare(name, Qt::CaseInsensitive) == 0)
            return panel;
    return nullptr;
}

void DockSite::Toggle(QDockWidget* panel, QAction* action) {
    if (panel->isFloating() && IsBeyondDesktop(panel->pos(), DesktopArea()))
        panel->move(kReachablePlace);
    if (!panel->isHidden()) {
        panel->hide();
        action->setChecked(false);
        return;
    }
    ShowPanel(panel);
    action->setChecked(true);
}

void DockSite::ShowPanel(QDockWidget* panel) {
    if (QWidget* view = panel->widget()) view->show();
    panel->show();
    // Raising a tabbed panel makes it the active tab; a floating one comes to the top.
    panel->raise();
    if (panel->isFloating()) panel->activateWindow();
}

void DockSite::LoadLayout(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::exists(file, error)) return;
    const IniFile layout = IniFile::Read(file);
    if (layout.ReadInt("Fluvex", "Version", -1) != kLayoutVersion) {
        // Written by another version: its panels may not mean what ours do.
        std::filesystem::remove(file, error);
        return;
    }
    const QString panels = QString::fromStdString(layout.ReadText("Layout", "Panels", ""));
    for (const QString& name : panels.split(' ', Qt::SkipEmptyParts))
        if (FindPanel(name) == nullptr) CreateMissingPanel(name);
    const std::string state = layout.ReadText("Layout", "State", "");
    if (!restoreState(QByteArray::fromBase64(QByteArray::fromStdString(state))))
        DebugOutput("The panel arrangement in " + file.string() + " cannot be restored");
}

bool DockSite::SaveLayout(const std::filesystem::path& file, std::string* error) const {
    QStringList panels;
    for (const QDockWidget* panel : findChildren<QDockWidget*>(Qt::FindDirectChildrenOnly))
        panels << panel->objectName();
    IniFile layout = IniFile::Parse("");
    layout.Write("Layout", "Panels", panels.join(' ').toStdString());
    layout.Write("Layout", "State", saveState().toBase64().toStdString());
    layout.WriteInt("Fluvex", "Version", kLayoutVersion);
    return layout.Save(file, error);
}

QDockWidget* DockSite::OpenQuickChart() {
    QDockWidget* panel = CreateQuickChartPanel(NextQuickChartName());
    if (panel == nullptr) return nullptr;
    panel->setFloating(true);
    panel->resize(panel->widget()->size());
    panel->move(kReachablePlace);
    panel->show();
    return panel;
}

QDockWidget* DockSite::CreateQuickChartPanel(const QString& objectName) {
    if (!quickChartFactory_) return nullptr;
    auto panel = std::make_unique<QDockWidget>(this);
    panel->setObjectName(objectName);
    // Closing a quick chart ends it; its panel is not kept for later.
    panel->setAttribute(Qt::WA_DeleteOnClose);
    QWidget* chart = quickChartFactory_(*panel);
    if (chart == nullptr) return nullptr;
    panel->setWidget(chart);
    panel->setWindowTitle(chart->windowTitle());
    addDockWidget(Qt::LeftDockWidgetArea, panel.get());
    return panel.release();  // owned by this site from here on
}

void DockSite::CreateMissingPanel(const QString& objectName) {
    DebugOutput("The panel layout names the missing panel " + objectName.toStdString());
    if (objectName.startsWith(kQuickChartPrefix)) CreateQuickChartPanel(objectName);
}

QString DockSite::NextQuickChartName() const {
    for (int number = 1;; ++number) {
        const QString name = kQuickChartPrefix + QString::number(number);
        if (findChild<QDockWidget*>(name, Qt::FindDirectChildrenOnly) == nullptr) return name;
    }
}

}  // namespace fluvex
