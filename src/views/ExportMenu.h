#pragma once

// The File menu's exports: the dialogs that choose where they go, and the long work that writes
// them, reporting each line done and stopping at Cancel.

#include <QString>

#include <filesystem>
#include <optional>

#include "export/LineExports.h"
#include "views/BackgroundWork.h"

class QWidget;

namespace fluvex {

// A folder for the per-line files, starting in the program's data folder; nothing when
// cancelled.
std::optional<std::filesystem::path> ChooseExportFolder(QWidget* parent);
// Where the current line's XYZI file goes, proposed after the line's name.
std::optional<std::filesystem::path> ChooseXyziFile(QWidget* parent);
// Where the workbook of every line goes.
std::optional<std::filesystem::path> ChooseWorkbookFile(QWidget* parent);
// Where the RTF report of every line goes.
std::optional<std::filesystem::path> ChooseRtfFile(QWidget* parent);

// Where a DXF drawing goes.
std::optional<std::filesystem::path> ChooseDxfFile(QWidget* parent);

// Writes the plan drawing (2-D) or the vector drawing (3-D) of every loaded line.
LongWork PlanDxfWork(const std::filesystem::path& file);
LongWork VectorDxfWork(const std::filesystem::path& file);

// Writes the per-line files of every loaded line into `folder`.
LongWork LineExportWork(LineExportKind kind, const std::filesystem::path& folder);
// Writes the current line's XYZI file.
LongWork CurrentXyziWork(const std::filesystem::path& file);
// Writes the workbook of every loaded line.
LongWork WorkbookWork(const std::filesystem::path& file);
// Writes the RTF report of every loaded line, each line's section drawn as the profile shows it.
LongWork RtfReportWork(const std::filesystem::path& file);

}  // namespace fluvex
