#include "Controls.h"

#include "Handlers.h"

namespace krellon {

CommandButton::CommandButton(QWidget* parent, const QString& caption)
    : QPushButton(caption, parent) {
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, [this] { RunHandler(this, Click); });
}

CheckBox::CheckBox(QWidget* parent, const QString& caption) : QCheckBox(caption, parent) {
    connect(this, &QCheckBox::clicked, this, [this] { RunHandler(this, Click); });
}

OptionButtons::OptionButtons(QWidget* parent, const std::array<QString, 3>& captions)
    : QButtonGroup(parent) {
    for (int i = 0; i < 3; ++i) {
        addButton(new QRadioButton(captions[static_cast<std::size_t>(i)], parent), i);
    }
    Button(0)->setChecked(true);
    connect(this, &QButtonGroup::idClicked, this,
            [this](int id) { RunHandler(Button(id), [this, id] { emit optionClicked(id); }); });
}

QRadioButton* OptionButtons::Button(int index) const {
    return static_cast<QRadioButton*>(button(index));
}

}  // namespace krellon
