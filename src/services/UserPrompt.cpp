#include "services/UserPrompt.h"

#include <iostream>

namespace fluvex {

void StderrPrompt::ShowError(std::string_view text, std::string_view caption) {
    std::cerr << caption << ": " << text << '\n';
}

bool StderrPrompt::AskYesNo(std::string_view text, std::string_view caption) {
    std::cerr << caption << ": " << text << (answerYes_ ? " Yes" : " No") << '\n';
    return answerYes_;
}

void RecordingPrompt::ShowError(std::string_view text, std::string_view caption) {
    messages_.push_back({std::string(text), std::string(caption), false});
}

bool RecordingPrompt::AskYesNo(std::string_view text, std::string_view caption) {
    messages_.push_back({std::string(text), std::string(caption), true});
    return answerYes_;
}

}  // namespace fluvex
