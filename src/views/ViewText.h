#pragma once

#include <QString>

#include <string>

#include "services/TextService.h"

namespace fluvex {

// The text of an id, or the design text where the text table has none.
inline QString Text(int id, const char* designText) {
    const std::string text = TextService::LoadText(id);
    return text.empty() ? QString(designText) : QString::fromStdString(text);
}

}  // namespace fluvex
