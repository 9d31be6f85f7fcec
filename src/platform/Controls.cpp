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

OptionButtons::OptionButtons(QWidget* parent, const std::array<QString, 3>& captions) {
    auto* group = new QButtonGroup(parent);
    for (int i = 0; i < 3; ++i) {
        auto* button = new QRadioButton(captions[static_cast<std::size_t>(i)], parent);
        group->addButton(button, i);
        buttons_[static_cast<std::size_t>(i)] = button;
        QObject::connect(button, &QRadioButton::clicked, parent, [this, i] {
            if (Click) {
                RunHandler(buttons_[static_cast<std::size_t>(i)], [this, i] { Click(i); });
            }
        });
    }
    buttons_[0]->setChecked(true);
}

int OptionButtons::Selected() const {
    for (int i = 0; i < 3; ++i) {
        if (buttons_[static_cast<std::size_t>(i)]->isChecked()) {
            return i;
        }
    }
    return -1;
}

}  // namespace krellon
