#pragma once

#include <QWidget>

namespace krellon {

// The board editor window, "Krellon Boards Editor".
class Form1 : public QWidget {
    Q_OBJECT

public:
    explicit Form1(QWidget* parent = nullptr);
};

}  // namespace krellon
