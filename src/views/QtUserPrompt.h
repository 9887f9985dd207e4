#pragma once

#include "services/UserPrompt.h"

class QWidget;

namespace fluvex {

// Message boxes for the desktop program.
class QtUserPrompt final : public UserPrompt {
public:
    explicit QtUserPrompt(QWidget* parent = nullptr) : parent_(parent) {}
    void ShowError(std::string_view text, std::string_view caption) override;
    bool AskYesNo(std::string_view text, std::string_view caption) override;

private:
    QWidget* parent_;
};

}  // namespace fluvex
