#pragma once

// Long work (opening surveys, computing reports) runs on a worker thread so that the program
// stays responsive and can show its progress. The line collection and the settings are not
// thread-safe, so while the work runs nothing else may touch them: user input to the program's
// windows, the views' polling timers and their painting are held back. Results are applied by
// the caller once RunLongWork returns, on the interface thread.

#include <QString>

#include <functional>

class QWidget;

namespace fluvex {

class ReadFeedback;
class UserPrompt;

struct LongWork {
    QString title;
    // What is being done at a step: a step starts whenever the reported fraction falls back,
    // which the readers do at the start of each file.
    std::function<QString(int step)> label;
    // Runs on the worker thread. Progress and cancellation go through the feedback; messages
    // and questions through the prompt, which shows them on the interface thread (after Cancel
    // errors are dropped and questions answered No).
    std::function<void(ReadFeedback&, UserPrompt&)> work;
};

// Runs the work and returns when it has finished. A progress dialog shows the label and the
// fraction once the work has taken half a second; its Cancel cancels the feedback. `window` is
// the program's main window, whose input is held back; timers and painting inside `quietArea`
// (the views) wait until the work is done. An exception thrown by the work is thrown again here.
void RunLongWork(QWidget* window, QWidget* quietArea, UserPrompt& prompt, const LongWork& work);

}  // namespace fluvex
