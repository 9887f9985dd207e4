#pragma once

#include <string>
#include <string_view>

namespace fluvex {

class IniFile;
class Settings;

// The settings file's keys, sections and rules, shared by Settings::Load, Settings::Save and the
// command line's --set.

// Reads every key from `ini` into `settings`, section by section, with the section rules (unit
// selection, border file, quick-chart slots, window clamping).
void ReadSettingsFile(Settings& settings, const IniFile& ini);

// Writes every key of `settings` into `ini` in the file's order.
void WriteSettingsFile(const Settings& settings, IniFile& ini);

// Sets one key from its file text, as the load would read it, then applies the key's section
// rules. False with `error` set for an unknown key or a value that the key cannot hold.
bool ApplySettingText(Settings& settings, std::string_view section, std::string_view key,
                      std::string_view value, std::string& error);

}  // namespace fluvex
