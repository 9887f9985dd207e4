#pragma once

// "Create Contours": velocity contour drawings of the loaded lines, as horizontal slices or as
// vertical profiles. The points are gathered here, on the interface thread that owns the lines;
// the triangulation, the contours and the files are made by a worker thread, whose status the
// dialog shows every 200 ms.

#include <QDialog>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "export/ContourRun.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTimer;

namespace fluvex {

class UserPrompt;

// Makes a planned run's drawings; writes only its status text, its files and its result.
class TContourThread final : public QThread {
    Q_OBJECT
public:
    TContourThread(ContourPlan plan, std::filesystem::path workFolder, QObject* parent = nullptr);
    ~TContourThread() override;

    QString Status() const;
    // After the run: what was said of the slices or lines without data.
    QStringList NoData() const;
    bool Finished() const { return finished_; }
    int Result() const { return result_; }
    // Stops before the next drawing.
    void Terminate() { terminated_ = true; }

protected:
    void run() override;

private:
    const ContourPlan plan_;
    const std::filesystem::path workFolder_;
    mutable QMutex statusLock_;
    QString status_;
    std::vector<std::string> noData_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<int> result_{1};
};

class TdlgContours final : public QDialog {
    Q_OBJECT
public:
    explicit TdlgContours(QWidget* parent = nullptr);
    ~TdlgContours() override;

    // The controls from the settings.
    void Load();
    bool Running() const { return thread_ != nullptr; }
    // Where the messages go (tests record them) and how the folder is shown.
    void SetPrompt(UserPrompt* prompt) { prompt_ = prompt; }
    void SetFolderOpener(std::function<void(const QString&)> open) {
        openFolder_ = std::move(open);
    }

protected:
    void reject() override;

private:
    void btnRunClick();
    void StoreSettings();
    void Poll();
    // Frees the finished thread; `tell` says how the run ended.
    void Finish(bool tell);

    QRadioButton* rdoHorizontal_;
    QRadioButton* rdoVertical_;
    QSpinBox* edtSliceHeight_;
    QComboBox* cmbContourSpacing_;
    QSpinBox* edtMaxLeg_;
    QSpinBox* edtSmoothing_;
    QListWidget* lstVelocities_;
    QLabel* lblStatus_;
    QPushButton* btnRun_;
    QTimer* timer_;
    std::unique_ptr<UserPrompt> ownPrompt_;
    UserPrompt* prompt_;
    std::function<void(const QString&)> openFolder_;
    std::unique_ptr<TContourThread> thread_;
    std::filesystem::path outFolder_;
};

// The contour spacing text as a number: 0.25 when it is not a number above 0.
double ContourSpacingOf(const QString& text);

}  // namespace fluvex
