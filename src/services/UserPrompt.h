#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fluvex {

// How core code talks to the user: it never opens windows itself. The desktop program shows
// message boxes, the command line writes to stderr, tests record what was said.
class UserPrompt {
public:
    virtual ~UserPrompt() = default;
    // An error message box with the given caption.
    virtual void ShowError(std::string_view text, std::string_view caption = "Error") = 0;
    // A Yes/No question; true for Yes.
    virtual bool AskYesNo(std::string_view text, std::string_view caption = "Error") = 0;
};

// The command line's prompt: messages go to stderr; questions are answered with a fixed answer
// (Yes unless the user asked otherwise) and the answer is printed beside them.
class StderrPrompt final : public UserPrompt {
public:
    explicit StderrPrompt(bool answerYes = true) : answerYes_(answerYes) {}
    void ShowError(std::string_view text, std::string_view caption) override;
    bool AskYesNo(std::string_view text, std::string_view caption) override;

private:
    bool answerYes_;
};

// Keeps every message and question, answering questions with a preset answer.
class RecordingPrompt final : public UserPrompt {
public:
    struct Message {
        std::string text;
        std::string caption;
        bool question = false;
    };

    explicit RecordingPrompt(bool answerYes = true) : answerYes_(answerYes) {}
    void ShowError(std::string_view text, std::string_view caption) override;
    bool AskYesNo(std::string_view text, std::string_view caption) override;
    const std::vector<Message>& Messages() const { return messages_; }

private:
    bool answerYes_;
    std::vector<Message> messages_;
};

}  // namespace fluvex
