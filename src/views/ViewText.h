#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

#include <cmath>
#include <optional>
#include <string>
#include <string_view>

#include "model/Units.h"
#include "services/TextService.h"

namespace fluvex {

// The text of an id, or the design text where the text table has none.
inline QString Text(int id, const char* designText) {
    return QString::fromStdString(CaptionText({id, designText}));
}

// UTF-8 text of the core as a QString.
inline QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The names of the velocity quantities, East Velocity to Direction, in their order.
inline QStringList VelocityQuantityNames() {
    QStringList names;
    for (int q = kEastVelocity; q <= kDirection; ++q) {
        names << ToQString(QuantityName(q));
    }
    return names;
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
