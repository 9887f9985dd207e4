#include "settings/Settings.h"

#include "model/Units.h"
#include "services/CurrentColourTable.h"
#include "services/HostService.h"

namespace fluvex {

Settings::Settings()
    : ColorTablePath(Host().Folder(FolderKind::ProgramData) / "ADCP.hcf"),
      SettingsPath(Host().Folder(FolderKind::SettingsFolder) / "fluvex.ini"),
      LayoutPath(Host().Folder(FolderKind::SettingsFolder) / "bin" / "Layouts" / "fluvex.ini") {}

Settings& AppSettings() {
    static Settings settings;
    return settings;
}

void Settings::Reset() {
    Settings initial;
    initial.VirtualScreen = VirtualScreen;
    initial.LoadBorderFile = std::move(LoadBorderFile);
    initial.processingGeneration_ = processingGeneration_;
    initial.generation_ = generation_;
    const bool processingChanged = processing_ != initial.processing_;
    *this = std::move(initial);
    if (processingChanged) Invalidate();
    SelectVelocityUnit(VelocityUnits);
}

void Settings::Invalidate() {
    ++processingGeneration_;
    ++generation_;
}

void ClampWindowRect(WindowRecord& window, const ScreenRect& screen) {
    if (window.WindowState != 0) return;
    const int right = screen.Left + screen.Width;
    const int bottom = screen.Top + screen.Height;
    if (window.Left < screen.Left)
        window.Left = screen.Left;
    else if (window.Left + window.Width > right)
        window.Left = right - window.Width;
    if (window.Top + window.Height < screen.Top)
        window.Top = screen.Top;
    else if (window.Top + window.Height > bottom)
        window.Top = bottom - window.Height;
}

void SelectVelocityUnit(int index) {
    const double previousScale = Units().VelocityScale();
    Units().SetVelocityUnit(index);
    ColourLookup* table = CurrentVelocityTable();
    if (AppSettings().AutoScaleColors == 0 || !table) return;
    const ColourTableProperties& range = table->Properties();
    const double scale = Units().VelocityScale();
    RescaleVelocityTable(previousScale * range.minimum / scale,
                         previousScale * range.maximum / scale, 1000);
}

}  // namespace fluvex
