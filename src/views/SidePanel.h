#pragma once

#include <QWidget>

#include <utility>
#include <vector>

class QAction;
class QComboBox;
class QListWidget;
class QToolButton;

namespace fluvex {

class CodedRadioGroup;

// The strip left of the views: the file, option and colour buttons, the line list with
// Previous, Ignore and Next, the window buttons and the processing choices. It lays the
// controls out and writes the processing choices into the settings; the main window fills them
// and gives the buttons their meaning.
class SidePanel final : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 225;

    // The commands that the panel's buttons show.
    struct Commands {
        QAction* colours = nullptr;
        QAction* autoScale = nullptr;
        QAction* ignore = nullptr;
        std::vector<std::pair<const char*, QAction*>> windows;  // button name, command
        std::vector<QAction*> contextMenu;                      // choices without a button
    };

    explicit SidePanel(const Commands& commands, QWidget* parent = nullptr);

    QListWidget* LineList() const { return lstSelectFile_; }
    QToolButton* PreviousButton() const { return btnPrevious_; }
    QToolButton* NextButton() const { return btnNext_; }
    CodedRadioGroup* DepthReference() const { return rdoBottomTrack_; }
    CodedRadioGroup* VelocityReference() const { return rdoVelReference_; }
    QComboBox* VelocityUnits() const { return lstVelocityUnit_; }

signals:
    void OpenClicked();
    void ViewOptionsClicked();
    void FileInformationClicked();
    void PreviousClicked();
    void NextClicked();

private:
    QWidget* BuildCommandButtons(const Commands& commands);
    QWidget* BuildLineArea(const Commands& commands);
    QWidget* BuildChoiceArea(const Commands& commands);

    QListWidget* lstSelectFile_ = nullptr;
    QToolButton* btnPrevious_ = nullptr;
    QToolButton* btnNext_ = nullptr;
    CodedRadioGroup* rdoBottomTrack_ = nullptr;
    CodedRadioGroup* rdoVelReference_ = nullptr;
    QComboBox* lstVelocityUnit_ = nullptr;
};

// A colour-scale glyph for the colour commands; `mark` is drawn over it.
QIcon ColourScaleIcon(const QString& mark);

}  // namespace fluvex
