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

// Where a window's messages and questions go: its own message boxes, or a prompt put in their
// place (the screenshot run, tests).
class PromptRoute {
public:
    explicit PromptRoute(QWidget* window) : messageBoxes_(window) {}
    // Null goes back to the message boxes.
    void Set(UserPrompt* prompt) { replacement_ = prompt; }
    bool Replaced() const { return replacement_ != nullptr; }
    UserPrompt& Current() { return Replaced() ? *replacement_ : messageBoxes_; }

private:
    QtUserPrompt messageBoxes_;
    UserPrompt* replacement_ = nullptr;
};

}  // namespace fluvex
