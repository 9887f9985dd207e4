#pragma once

#include <QLocale>
#include <QString>

#include <cmath>
#include <optional>
#include <string>

#include "services/TextService.h"

namespace fluvex {

// The text of an id, or the design text where the text table has none.
inline QString Text(int id, const char* designText) {
    const std::string text = TextService::LoadText(id);
    return text.empty() ? QString(designText) : QString::fromStdString(text);
}

// A number typed by the user: in the user's locale, or with '.' as the decimal point; nothing
// for text that is not a finite number.
inline std::optional<double> TypedNumber(const QString& text) {
    const QString trimmed = text.trimmed();
    bool ok = false;
    double value = QLocale().toDouble(trimmed, &ok);
    if (!ok) value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace fluvex
