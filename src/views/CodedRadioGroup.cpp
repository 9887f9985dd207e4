#include "views/CodedRadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

namespace fluvex {

CodedRadioGroup::CodedRadioGroup(const QString& objectName, const QString& title, QWidget* parent)
    : QGroupBox(title, parent), group_(new QButtonGroup(this)), layout_(new QVBoxLayout(this)) {
    setObjectName(objectName);
    layout_->setContentsMargins(6, 2, 6, 2);
    layout_->setSpacing(0);
    connect(group_, &QButtonGroup::idClicked, this, &CodedRadioGroup::CodeChosen);
}

CodedRadioGroup::~CodedRadioGroup() = default;

void CodedRadioGroup::SetItems(const std::vector<Item>& items) {
    buttons_.clear();
    for (const Item& item : items) {
        auto button = std::make_unique<QRadioButton>(item.text, this);
        button->setObjectName(objectName() + "_" + QString::number(item.code));
        group_->addButton(button.get(), item.code);
        layout_->addWidget(button.get());
        buttons_.push_back(std::move(button));
    }
}

void CodedRadioGroup::SelectCode(int code) {
    if (buttons_.empty()) return;
    QAbstractButton* button = group_->button(code);
    (button != nullptr ? button : buttons_.front().get())->setChecked(true);
}

std::optional<int> CodedRadioGroup::SelectedCode() const {
    if (buttons_.empty()) return std::nullopt;
    QAbstractButton* checked = group_->checkedButton();
    return group_->id(checked != nullptr ? checked : buttons_.front().get());
}

}  // namespace fluvex
