#pragma once

#include <QWidget>

namespace krellon {

// The image explorer window, "Krellon IMG Explorer".
class Form2 : public QWidget {
    Q_OBJECT

public:
    explicit Form2(QWidget* parent = nullptr);
};

}  // namespace krellon
