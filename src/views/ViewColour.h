#pragma once

#include <QColor>

#include "model/ColourLookup.h"

namespace fluvex {

// A colour of the colour tables and settings (0x00BBGGRR) as Qt paints it.
inline QColor ToQColor(ColourRef colour) {
    return QColor(RedOf(colour), GreenOf(colour), BlueOf(colour));
}

}  // namespace fluvex
