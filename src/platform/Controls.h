#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <array>
#include <functional>

namespace krellon {

// A push button with a settable caption and a click handler.
class CommandButton : public QPushButton {
public:
    CommandButton(QWidget* parent, const QString& caption);

    void SetCaption(const QString& caption) { setText(caption); }
    QString Caption() const { return text(); }

    std::function<void()> Click;
};

// A two-state check box; its click handler runs after the state has changed.
class CheckBox : public QCheckBox {
public:
    CheckBox(QWidget* parent, const QString& caption);

    bool Checked() const { return isChecked(); }

    std::function<void()> Click;
};

// A group of three option buttons, exactly one selected; the click handler gets the index of
// the button clicked.
class OptionButtons {
public:
    OptionButtons(QWidget* parent, const std::array<QString, 3>& captions);

    QRadioButton* Button(int index) const { return buttons_[static_cast<std::size_t>(index)]; }
    int Selected() const;

    std::function<void(int index)> Click;

private:
    std::array<QRadioButton*, 3> buttons_{};
};

}  // namespace krellon
