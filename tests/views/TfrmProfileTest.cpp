// The profile window over a generated survey: the mouse over known cells, the delete modes, the
// settings panel and the poll that follows settings changed elsewhere. Where each cursor mode
// stands is ProfileCursorTest's.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPdfWriter>
#include <QToolButton>
#include <QtTest>

#include <memory>

#include "ViewTestFolders.h"
#include "model/EnsembleQuantities.h"
#include "project/LineLoading.h"
#include "project/SettingsOptions.h"
#include "services/ColourTable.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"
#include "views/TfrmProfile.h"

using namespace fluvex;

class TfrmProfileTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::ViewTestFolders> folders_;
    std::unique_ptr<RecordingPrompt> prompt_;
    std::unique_ptr<TfrmProfile> window_;
    int changes_ = 0;

    template <typename T>
    T* Control(const QString& name) const {
        return test::ChildOf<T>(*window_, name);
    }
    QWidget* Box() { return Control<QWidget>("pbProfile"); }
    QString Panel(int panel) { return Control<QLabel>(QString("lblStatus%1").arg(panel))->text(); }
    static double NumberIn(const QString& panel) { return panel.section(": ", 1).toDouble(); }
    void Mouse(QEvent::Type type, QPoint at) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, Box()->mapToGlobal(at), button, button, Qt::NoModifier);
        QApplication::sendEvent(Box(), &event);
    }
    QRgb PixelAt(QPoint at) { return Box()->grab().toImage().pixel(at); }
    static const Ensemble& Ping(int index) {
        return AppDatabase().Ensembles(0)[static_cast<std::size_t>(index)];
    }
    // The middle of a cell of a ping, in paint-box pixels. A ping's cells are drawn from the
    // ping before it up to its own distance along line, which belongs to the next one.
    QPoint CellPoint(int ping, int cell) const {
        const ProfileLayout& layout = window_->Layout();
        const Ensemble& e = Ping(ping);
        return {layout.MapX(e.navigation.distance) - 2,
                layout.MapY(CellDepth(e, cell, Units()) + CellSize(e, Units()) / 2)};
    }
    // Three 40-ping lines in metres, water flowing at 0.5 m/s at the middle of the colours (with
    // a little noise, so that no two lines are alike), the bed from the sounder, distance along
    // line across the plot.
    void OpenSurvey() {
        Units().SetDistanceUnit(0);
        AppSettings().SetBottomTrack(kEchoSounderHighDepth);
        AppSettings().SetTime_Type(2);
        QVERIFY(folders_->OpenSuiteSurvey(*prompt_, "[Noise]\nEnabled = 1\nVelocityStd = 5\n"));
        QVERIFY(LoadColourTable(folders_->Root() / "data" / "ADCP.hcf"));
        RescaleVelocityTable(0, 1);
        AppSettings().CurrentLine = 0;
        AppSettings().UseTime = false;
        window_->PollChanges();
    }

private slots:
    void init() {
        folders_ = std::make_unique<test::ViewTestFolders>();
        prompt_ = std::make_unique<RecordingPrompt>();
        window_ = std::make_unique<TfrmProfile>();
        window_->SetPrompt(prompt_.get());
        connect(window_.get(), &TfrmProfile::DataChanged, this, [this] { ++changes_; });
        changes_ = 0;
        window_->resize(1000, 700);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        OpenSurvey();
    }
    void cleanup() {
        window_.reset();
        folders_.reset();
    }

    void pointingAtACellShowsItAndHandsItOn() {
        int pointedNumber = -1;
        int pointedCell = -2;
        connect(window_.get(), &TfrmProfile::EnsemblePointed, this,
                [&](const Ensemble& ping, int cell) {
                    pointedNumber = ping.variableLeader.EnsembleNumber();
                    pointedCell = cell;
                });
        const QPoint at = CellPoint(20, 3);
        Mouse(QEvent::MouseMove, at);
        const ProfileLayout& layout = window_->Layout();
        QCOMPARE(pointedNumber, int{Ping(20).variableLeader.EnsembleNumber()});
        QCOMPARE(pointedCell, 3);
        // The panels' texts are ProfileCursorTest's; the depth is the pointer's.
        QVERIFY(std::abs(NumberIn(Panel(1)) - layout.DepthAtY(at.y())) < 0.006);
        QCOMPARE(window_->CursorPosition(), std::optional(at));

        const QString shown = Panel(0);
        Mouse(QEvent::MouseMove, {layout.plot.left - 3, at.y()});
        QVERIFY(!window_->CursorPosition());
        QCOMPARE(Panel(0), shown);
    }

    void deletingACellAndAPingChangesTheSection() {
        const QPoint cell = CellPoint(20, 3);
        const QRgb coloured = PixelAt(cell) & 0xFFFFFF;
        QVERIFY(coloured != 0 && coloured != 0xFFFFFF);
        Control<QToolButton>("btnDeleteCell")->click();
        Mouse(QEvent::MouseButtonPress, cell);
        QCOMPARE(VelocityComponent(Ping(20), 3, AppSettings().Velocity()), kBadVelocity);
        QCOMPARE(PixelAt(cell) & 0xFFFFFF, 0U);  // no value: black
        QCOMPARE(changes_, 1);

        Control<QToolButton>("btnDeleteEnsemble")->click();
        const int count = AppDatabase().EnsembleCount(0);
        const int next = Ping(31).variableLeader.EnsembleNumber();
        const QImage before = Box()->grab().toImage();
        Mouse(QEvent::MouseButtonPress, CellPoint(30, 3));
        QCOMPARE(AppDatabase().EnsembleCount(0), count - 1);
        QCOMPARE(int{Ping(30).variableLeader.EnsembleNumber()}, next);
        QVERIFY(Box()->grab().toImage() != before);
        QCOMPARE(changes_, 2);
        // A click beside the plot, on the axes, deletes nothing.
        Mouse(QEvent::MouseButtonPress, {window_->Layout().plot.right + 3, cell.y()});
        QCOMPARE(AppDatabase().EnsembleCount(0), count - 1);
    }

    void thePanelStoresItsSettingsAndRefusesWhatIsNotANumber() {
        auto* maxDepth = Control<QLineEdit>("edtMaxDepth");
        Control<QCheckBox>("chkAutoScaleDepth")->click();
        QVERIFY(!AppSettings().AutoScaleDepth);
        maxDepth->setText("12.5");
        QTest::keyClick(maxDepth, Qt::Key_Return);
        QCOMPARE(AppSettings().MaxDepth, 12.5);
        QCOMPARE(window_->Layout().yMaximum, 12.5);

        maxDepth->setText("deep");
        QTest::keyClick(maxDepth, Qt::Key_Return);
        QCOMPARE(AppSettings().MaxDepth, 12.5);
        QCOMPARE(maxDepth->text(), QString("12.5"));
        QCOMPARE(prompt_->Messages().size(), std::size_t{1});
        QCOMPARE(prompt_->Messages()[0].text, std::string("Invalid Value"));
    }

    void reverseDblFlipsTheLineAndIsOffOnATimeAxis() {
        const auto side = [this] {
            const ProfileLayout& layout = window_->Layout();
            return layout.MapX(Ping(0).navigation.distance) <
                   layout.plot.left + layout.plot.Width() / 2;
        };
        const bool firstPingLeft = side();
        QAction* reverse = Control<QAction>("actReverseDBL");
        reverse->trigger();
        QCOMPARE(side(), !firstPingLeft);
        QCOMPARE(changes_, 1);

        Control<QCheckBox>("chkUseTime")->click();
        QVERIFY(!reverse->isEnabled());
    }

    void printingEndsWithTheColoursOfTheShownLine() {
        AppSettings().AutoScaleColors = 1;  // every printed line rescales the colours to itself
        AppSettings().SetVelocity(kNorthVelocity);
        const auto range = AppDatabase().VelocityRange(0);
        QVERIFY(range);
        const auto [minimum, maximum] = *range;
        QPdfWriter pdf(QString::fromStdString((folders_->Root() / "lines.pdf").string()));
        QVERIFY(window_->PrintTo(pdf));
        QCOMPARE(CurrentVelocityTable()->Properties().minimum, minimum);
        QCOMPARE(CurrentVelocityTable()->Properties().maximum, maximum);
    }

    // "Scale All Files" applies the range over every line; under a scaling mode a new
    // component brings the shown line's range.
    void scalingChoicesAndComponentChangesRescaleTheColours() {
        auto* scaling = Control<QComboBox>("cmbAutoScaleColors");
        scaling->setCurrentIndex(2);
        emit scaling->activated(2);
        const auto all = AppDatabase().VelocityRangeAll();
        QVERIFY(all);
        QCOMPARE(CurrentVelocityTable()->Properties().minimum, all->minimum);
        QCOMPARE(CurrentVelocityTable()->Properties().maximum, all->maximum);
        auto* component = Control<QComboBox>("cmbVelocity");
        component->setCurrentIndex(kEastVelocity);
        emit component->activated(kEastVelocity);
        QCOMPARE(CurrentVelocityTable()->Properties().maximum,
                 AppDatabase().VelocityRange(0)->maximum);
    }

    void thePollFollowsSettingsChangedElsewhere() {
        Settings& settings = AppSettings();
        settings.AutoScaleDepth = false;
        settings.MaxDepth = 20;
        settings.SetVelocity(kEastVelocity);
        settings.Cursor = 3;
        window_->PollChanges();
        QCOMPARE(window_->Layout().yMaximum, 20.0);
        QCOMPARE(Control<QLineEdit>("edtMaxDepth")->text(), QString("20"));
        QCOMPARE(Control<QComboBox>("cmbVelocity")->currentIndex(), int{kEastVelocity});
        QVERIFY(Control<QToolButton>("btnDeleteEnsemble")->isChecked());
    }
};

QTEST_MAIN(TfrmProfileTest)
#include "TfrmProfileTest.moc"
