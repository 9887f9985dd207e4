#pragma once

#include <QMainWindow>

#include <filesystem>
#include <functional>
#include <string>

class QAction;
class QDockWidget;

namespace fluvex {

// The area right of the main window's side panel that holds every view in a dock panel. Panels
// start tabbed together, can be floated, split and hidden, and the arrangement is kept between
// runs in the layout file (docs/formats.md, "Layout file").
class DockSite final : public QMainWindow {
    Q_OBJECT

public:
    // The layout version this program writes; a layout file with any other is discarded.
    static constexpr int kLayoutVersion = 0;
    // Quick-chart panels are named this followed by a number.
    static constexpr const char* kQuickChartPrefix = "frmQuickChart";

    // Creates the view of a quick chart inside its panel; null when none can be made.
    using QuickChartFactory = std::function<QWidget*(QDockWidget& panel)>;

    explicit DockSite(QWidget* parent = nullptr);

    // Puts a view into a new panel, tabbed with the panels added before it.
    QDockWidget* AddPanel(const QString& objectName, const QString& title, QWidget* view);
    // The panel with that object name or title; null when there is none.
    QDockWidget* FindPanel(const QString& name) const;

    // Hides a shown panel, or shows a hidden one as the active tab of its group; the action's
    // check follows. A floating panel left beyond the desktop's bottom or right edge comes back
    // at (20, 20) first.
    void Toggle(QDockWidget* panel, QAction* action);
    // Shows the panel and brings it to the front of its tab group.
    void ShowPanel(QDockWidget* panel);

    // Restores the arrangement saved in `file`. A file of another version (or none) is deleted
    // and the arrangement stays as it is; a missing file changes nothing.
    void LoadLayout(const std::filesystem::path& file);
    // Writes the arrangement and the version; false with `error` set when it cannot be written.
    bool SaveLayout(const std::filesystem::path& file, std::string* error = nullptr) const;

    // Quick charts come with their own view; until one is installed no quick chart is made.
    void SetQuickChartFactory(QuickChartFactory factory) {
        quickChartFactory_ = std::move(factory);
    }
    // A new floating quick-chart panel, closed and freed when the user closes it; null without
    // a factory.
    QDockWidget* OpenQuickChart();

private:
    QDockWidget* CreateQuickChartPanel(const QString& objectName);
    // Called for panels that a layout names but that do not exist.
    void CreateMissingPanel(const QString& objectName);
    QString NextQuickChartName() const;

    QDockWidget* firstPanel_ = nullptr;
    QuickChartFactory quickChartFactory_;
};

// A floating panel whose top-left corner lies at or beyond the bottom or right edge of the
// desktop cannot be reached by the user.
bool IsBeyondDesktop(const QPoint& topLeft, const QRect& desktop);

}  // namespace fluvex
