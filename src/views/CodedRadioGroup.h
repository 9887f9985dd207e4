#pragma once

#include <QGroupBox>

#include <memory>
#include <optional>
#include <vector>

class QButtonGroup;
class QRadioButton;
class QVBoxLayout;

namespace fluvex {

// A radio group whose items carry fixed codes: the settings store codes, and which items a group
// offers depends on what was loaded, so an item's position says nothing about its meaning.
class CodedRadioGroup final : public QGroupBox {
    Q_OBJECT

public:
    struct Item {
        QString text;
        int code = 0;
    };

    // Items are named "<group name>_<code>" so that they can be found by name.
    CodedRadioGroup(const QString& objectName, const QString& title, QWidget* parent = nullptr);
    ~CodedRadioGroup() override;

    // Replaces the items; none is selected afterwards.
    void SetItems(const std::vector<Item>& items);
    int ItemCount() const { return static_cast<int>(buttons_.size()); }

    // Selects the item that carries `code`, or the first item when none does; nothing happens
    // while the group is empty. Does not emit CodeChosen.
    void SelectCode(int code);
    // The code of the selected item, of the first item when none is selected, nothing when the
    // group is empty.
    std::optional<int> SelectedCode() const;

signals:
    // The user chose an item.
    void CodeChosen(int code);

private:
    QButtonGroup* group_;
    QVBoxLayout* layout_;
    // Owned here so that a rebuild removes the old items at once, not at the next event loop.
    std::vector<std::unique_ptr<QRadioButton>> buttons_;
};

}  // namespace fluvex
