#include "views/TfrmDischarge.h"

#include <QDoubleSpinBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "project/Database.h"
#include "project/DischargeReport.h"
#include "services/AtomicFile.h"
#include "settings/Settings.h"

namespace fluvex {

namespace {

// The two named edge shapes are fixed coefficients; any other value is the user's own.
constexpr double kTriangularEdge = 0.31;
constexpr double kRectangularEdge = 0.91;
constexpr int kFewestShorePings = 1;
constexpr int kMostShorePings = 120;
constexpr int kPollIntervalMs = 1000;

QDoubleSpinBox* NewTwoDecimalEdit(const QString& name, double minimum, double maximum, double value,
                                  QWidget* parent) {
    auto* edit = new QDoubleSpinBox(parent);
    edit->setObjectName(name);
    edit->setDecimals(2);
    edit->setRange(minimum, maximum);
    edit->setValue(value);
    return edit;
}

void LoadEdge(const auto& edge, double coefficient, double width) {
    edge.width->setValue(width);
    if (coefficient == kTriangularEdge) {
        edge.triangular->setChecked(true);
    } else if (coefficient == kRectangularEdge) {
        edge.rectangular->setChecked(true);
    } else {
        edge.coefficient->setChecked(true);
        edge.coefficientValue->setValue(coefficient);
    }
}

double CoefficientOf(const auto& edge) {
    if (edge.triangular->isChecked()) return kTriangularEdge;
    if (edge.rectangular->isChecked()) return kRectangularEdge;
    return edge.coefficientValue->value();
}

}  // namespace

TfrmDischarge::TfrmDischarge(QWidget* parent) : QWidget(parent) {
    setObjectName("frmDischarge");
    setWindowTitle("Discharge");
    memReport_ = new QPlainTextEdit(this);
    memReport_->setObjectName("memReport");
    memReport_->setReadOnly(true);
    memReport_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memReport_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(memReport_, 1);
    layout->addWidget(BuildShoreControls());
    LoadControls();

    timer_ = new QTimer(this);
    timer_->setInterval(kPollIntervalMs);
    connect(timer_, &QTimer::timeout, this, &TfrmDischarge::PollChanges);
    timer_->start();
}

void TfrmDischarge::SetPrompt(UserPrompt* prompt) {
    prompt_.Set(prompt);
}

UserPrompt& TfrmDischarge::Prompt() {
    return prompt_.Current();
}

QWidget* TfrmDischarge::BuildShoreControls() {
    auto* panel = new QWidget(this);
    edtShorePings_ = new QLineEdit(panel);
    edtShorePings_->setObjectName("edtShorePings");
    // Three digits at most: a field across the whole window would read as a text entry.
    edtShorePings_->setMaximumWidth(edtShorePings_->fontMetrics().horizontalAdvance("0000000"));
    connect(edtShorePings_, &QLineEdit::editingFinished, this, &TfrmDischarge::StoreAndRebuild);
    auto* pings = new QFormLayout;
    pings->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    pings->addRow("Shore Pings (1 -120):", edtShorePings_);

    auto* edges = new QHBoxLayout;
    edges->addWidget(BuildEdgeGroup("Start Edge", "Start", start_));
    edges->addWidget(BuildEdgeGroup("End Edge", "End", end_));
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(pings);
    layout->addLayout(edges);
    return panel;
}

QWidget* TfrmDischarge::BuildEdgeGroup(const QString& title, const char* prefix,
                                       EdgeControls& edge) {
    auto* group = new QGroupBox(title, this);
    auto named = [prefix](const char* kind, const char* what) {
        return QString("%1%2%3").arg(kind, prefix, what);
    };
    auto radio = [&](const char* text, const char* what) {
        auto* button = new QRadioButton(text, group);
        button->setObjectName(named("rdo", what));
        connect(button, &QRadioButton::clicked, this, &TfrmDischarge::StoreAndRebuild);
        return button;
    };
    edge.triangular = radio("Triangular", "Triangular");
    edge.rectangular = radio("Rectangular", "Rectangular");
    edge.coefficient = radio("Coefficient", "Coeff");
    edge.coefficientValue =
        NewTwoDecimalEdit(named("edt", "Coeff"), -10, 10, kTriangularEdge, group);
    edge.width = NewTwoDecimalEdit(named("edt", "Width"), 0, 1e6, 10.0, group);
    connect(edge.coefficient, &QRadioButton::toggled, edge.coefficientValue,
            &QDoubleSpinBox::setEnabled);
    edge.coefficientValue->setEnabled(false);
    for (QDoubleSpinBox* edit : {edge.coefficientValue, edge.width})
        connect(edit, &QDoubleSpinBox::editingFinished, this, &TfrmDischarge::StoreAndRebuild);

    auto* layout = new QGridLayout(group);
    layout->addWidget(edge.triangular, 0, 0);
    layout->addWidget(edge.rectangular, 1, 0);
    layout->addWidget(edge.coefficient, 2, 0);
    layout->addWidget(edge.coefficientValue, 2, 1);
    layout->addWidget(new QLabel("Width", group), 3, 0);
    layout->addWidget(edge.width, 3, 1);
    return group;
}

// --- Report ---

void TfrmDischarge::RebuildReport() {
    ShowReport(BuildDischargeReport(AppDatabase()));
}

void TfrmDischarge::ShowReport(const std::vector<std::string>& lines) {
    QStringList text;
    for (const std::string& line : lines)
        text.append(QString::fromStdString(line));
    memReport_->setPlainText(text.join('\n'));
    memReport_->moveCursor(QTextCursor::End);
    memReport_->ensureCursorVisible();
}

QString TfrmDischarge::ReportText() const {
    return memReport_->toPlainText();
}

bool TfrmDischarge::SaveReport(const QString& file, QString* error) {
    const QString shown = ReportText();
    std::string content;
    if (!shown.isEmpty())
        for (const QString& line : shown.split('\n'))
            content += line.toStdString() + "\r\n";
    std::string why;
    if (WriteFileAtomically(file.toStdString(), content, &why)) return true;
    if (error != nullptr) *error = QString::fromStdString(why);
    return false;
}

// --- Shore controls ---

void TfrmDischarge::LoadControls() {
    const Settings& settings = AppSettings();
    edtShorePings_->setText(QString::number(settings.NShorePings));
    LoadEdge(start_, settings.StartCoeff, settings.StartWidth);
    LoadEdge(end_, settings.EndCoeff, settings.EndWidth);
}

bool TfrmDischarge::StoreControls() {
    const QString text = edtShorePings_->text().trimmed();
    bool ok = false;
    int pings = QLocale().toInt(text, &ok);
    if (!ok) pings = QLocale::c().toInt(text, &ok);
    if (!ok || pings < kFewestShorePings || pings > kMostShorePings) {
        Prompt().ShowError(QString("'%1' is not a number of shore pings from %2 to %3.")
                               .arg(text)
                               .arg(kFewestShorePings)
                               .arg(kMostShorePings)
                               .toStdString(),
                           "Error");
        return false;
    }
    Settings& settings = AppSettings();
    settings.NShorePings = pings;
    settings.StartCoeff = CoefficientOf(start_);
    settings.StartWidth = start_.width->value();
    settings.EndCoeff = CoefficientOf(end_);
    settings.EndWidth = end_.width->value();
    return true;
}

void TfrmDischarge::StoreAndRebuild() {
    if (StoreControls()) RebuildReport();
}

void TfrmDischarge::PollChanges() {
    const Settings& settings = AppSettings();
    if (AppDatabase().LineCount() < 1 || settings.CurrentLine < 0) return;
    const WatchedValues now{settings.CurrentLine, settings.Generation(), settings.VelocityUnits,
                            settings.DecimalPlaces};
    if (now == watched_) return;
    update();
    watched_ = now;
    RebuildReport();
    LoadControls();
}

}  // namespace fluvex
