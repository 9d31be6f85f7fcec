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

// A group of three option buttons on parent, exactly one selected, the first at start.
class OptionButtons : public QButtonGroup {
    Q_OBJECT

public:
    OptionButtons(QWidget* parent, const std::array<QString, 3>& captions);

    QRadioButton* Button(int index) const;
    // The index of the selected button.
    int Selected() const { return checkedId(); }

signals:
    // A button was clicked, selected already or not; run as an event handler of the button.
    void optionClicked(int index);
};

}  // namespace krellon
