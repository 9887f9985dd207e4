// The colour editor: Save writes the edited table, Cancel and a refused Save write nothing.

#include <QColorDialog>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "ViewTestFolders.h"
#include "services/ColourTable.h"
#include "services/UserPrompt.h"
#include "views/TdlgColourEditor.h"

using namespace fluvex;

namespace {

std::string FileText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

class TdlgColourEditorTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> folder_;
    std::filesystem::path original_;
    RecordingPrompt prompt_;
    std::unique_ptr<TdlgColourEditor> dialog_;

    template <typename T>
    T* Control(const QString& name) const {
        return test::ChildOf<T>(*dialog_, name);
    }
    void Click(const char* button) {
        QTest::mouseClick(Control<QPushButton>(button), Qt::LeftButton);
    }
    std::filesystem::path File(const char* name) const {
        return std::filesystem::path(folder_->path().toStdString()) / name;
    }
    static std::unique_ptr<ColourTable> Read(const std::filesystem::path& file) {
        std::string error;
        auto table = ColourTable::Read(file, error);
        if (!table) qFatal("%s", error.c_str());
        return table;
    }

private slots:
    void init() {
        folder_ = std::make_unique<QTemporaryDir>();
        original_ = File("ADCP.hcf");
        QVERIFY(ColourTable::WriteDefaultFile(original_));
        dialog_ = std::make_unique<TdlgColourEditor>(Read(original_));
        dialog_->SetPrompt(&prompt_);
        dialog_->show();
    }
    void cleanup() { dialog_.reset(); }

    void saveWritesTheEditedTable() {
        QCOMPARE(Control<QListWidget>("lstStops")->count(), 5);
        Control<QDoubleSpinBox>("edtMaximum")->setValue(3);
        Control<QDoubleSpinBox>("edtStep")->setValue(0.03);
        Click("btnAddStop");  // after the first stop: halfway from magenta to blue
        Click("btnBelowColour");
        auto* chooser = dialog_->findChild<QColorDialog*>("dlgColour");
        QVERIFY(chooser);
        chooser->setCurrentColor(QColor(0, 255, 0));
        chooser->accept();
        const auto saved = File("edited.hcf");
        Control<QLineEdit>("edtFileName")->setText(QString::fromStdString(saved.string()));
        Click("btnSave");

        QCOMPARE(dialog_->result(), int(QDialog::Accepted));
        QCOMPARE(dialog_->SavedFile(), std::optional{saved});
        const auto table = Read(saved);
        QCOMPARE(table->Properties().minimum, 0.0);
        QCOMPARE(table->Properties().maximum, 3.0);
        QCOMPARE(table->Properties().step, 0.03);
        QCOMPARE(table->Stops().size(), std::size_t{6});
        QCOMPARE(table->Stops()[1], MakeColour(127, 0, 255));
        QCOMPARE(table->BelowColour(), MakeColour(0, 255, 0));
        QCOMPARE(table->AboveColour(), MakeColour(255, 0, 0));
    }

    void keepsAtLeastTwoStops() {
        for (int i = 0; i < 5; ++i)
            Click("btnRemoveStop");
        QCOMPARE(Control<QListWidget>("lstStops")->count(), 2);
        QVERIFY(!Control<QPushButton>("btnRemoveStop")->isEnabled());
    }

    void cancelAndARefusedSaveWriteNothing() {
        const std::string before = FileText(original_);
        Control<QDoubleSpinBox>("edtMaximum")->setValue(0);  // an empty range
        Click("btnSave");
        QCOMPARE(prompt_.Messages().size(), std::size_t{1});
        QVERIFY(dialog_->isVisible());
        Click("btnCancel");
        QCOMPARE(dialog_->result(), int(QDialog::Rejected));
        QVERIFY(!dialog_->SavedFile());
        QCOMPARE(FileText(original_), before);
    }
};

QTEST_MAIN(TdlgColourEditorTest)
#include "TdlgColourEditorTest.moc"
