#include "views/BackgroundWork.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMessageBox>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <exception>
#include <memory>

#include "readers/ReadFeedback.h"
#include "services/UserPrompt.h"

namespace fluvex {

namespace {

constexpr int kShowAfterMs = 500;
constexpr int kPollMs = 100;
constexpr int kProgressSteps = 1000;

// The readers start again from 0 at each file: a fraction below the last one begins a step.
class StepFeedback final : public ReadFeedback {
public:
    void SetProgress(double fraction) override {
        if (fraction < ReadFeedback::Progress()) step_.fetch_add(1);
        ReadFeedback::SetProgress(fraction);
    }
    int Step() const { return step_.load(); }

private:
    std::atomic<int> step_{0};
};

// Shows the worker's messages on the interface thread, waiting for the answer.
class InterfaceThreadPrompt final : public UserPrompt {
public:
    InterfaceThreadPrompt(UserPrompt& target, const ReadFeedback& feedback, QObject* context)
        : target_(target), feedback_(feedback), context_(context) {}

    void ShowError(std::string_view text, std::string_view caption) override {
        if (feedback_.IsCanceled()) return;
        OnInterfaceThread([&] { target_.ShowError(text, caption); });
    }

    bool AskYesNo(std::string_view text, std::string_view caption) override {
        if (feedback_.IsCanceled()) return false;
        bool yes = false;
        OnInterfaceThread([&] { yes = target_.AskYesNo(text, caption); });
        return yes;
    }

private:
    template <typename Call>
    void OnInterfaceThread(Call call) {
        if (QThread::currentThread() == context_->thread())
            call();
        else
            QMetaObject::invokeMethod(context_, call, Qt::BlockingQueuedConnection);
    }

    UserPrompt& target_;
    const ReadFeedback& feedback_;
    QObject* context_;
};

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::Close:
        case QEvent::ContextMenu:
        case QEvent::Drop:
            return true;
        default:
            return false;
    }
}

bool IsInside(const QObject* object, const QObject* area) {
    for (; object != nullptr; object = object->parent())
        if (object == area) return true;
    return false;
}

// The progress dialog and the message boxes of the work stay usable.
bool IsWorkDialog(const QObject* object) {
    for (; object != nullptr; object = object->parent())
        if (qobject_cast<const QProgressDialog*>(object) ||
            qobject_cast<const QMessageBox*>(object))
            return true;
    return false;
}

// Holds back input to the main window, and the timers and painting of the views, while the
// work runs; the views are painted again afterwards.
class QuietWhileWorking final : public QObject {
public:
    QuietWhileWorking(QWidget* window, QWidget* quietArea)
        : window_(window), quietArea_(quietArea) {
        qApp->installEventFilter(this);
    }
    ~QuietWhileWorking() override {
        qApp->removeEventFilter(this);
        quietArea_->update();
        // Floating panels are windows of their own.
        for (QWidget* panel : quietArea_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (panel->isWindow()) panel->update();
    }
    QuietWhileWorking(const QuietWhileWorking&) = delete;
    QuietWhileWorking& operator=(const QuietWhileWorking&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // The views paint from the lines, which the work is changing.
        if (event->type() == QEvent::Timer || event->type() == QEvent::Paint)
            return IsInside(watched, quietArea_);
        return IsUserInput(event->type()) && IsInside(watched, window_) && !IsWorkDialog(watched);
    }

private:
    QWidget* window_;
    QWidget* quietArea_;
};

}  // namespace

void RunLongWork(QWidget* window, QWidget* quietArea, UserPrompt& prompt, const LongWork& work) {
    StepFeedback feedback;
    InterfaceThreadPrompt workerPrompt(prompt, feedback, window);
    const QuietWhileWorking quiet(window, quietArea);

    QProgressDialog dialog(work.label(0), QObject::tr("Cancel"), 0, kProgressSteps, window);
    dialog.setWindowTitle(work.title);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumDuration(kShowAfterMs);
    QObject::connect(&dialog, &QProgressDialog::canceled, [&feedback] { feedback.Cancel(); });
    // The dialog's clock starts here; setting the same value again would restart it.
    dialog.setValue(0);

    QTimer poll;
    poll.setInterval(kPollMs);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (dialog.wasCanceled()) return;  // a new value would show the dialog again
        dialog.setLabelText(work.label(feedback.Step()));
        const int value = static_cast<int>(feedback.Progress() * kProgressSteps);
        if (value != dialog.value()) dialog.setValue(value);
    });

    std::exception_ptr failure;
    QEventLoop loop;
    const std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            work.work(feedback, workerPrompt);
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    poll.start();
    loop.exec();
    worker->wait();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace fluvex
