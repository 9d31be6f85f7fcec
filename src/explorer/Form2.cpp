#include "Form2.h"

namespace krellon {

Form2::Form2(QWidget* parent) : QWidget(parent) {
    setWindowTitle("Krellon IMG Explorer");
    setFixedSize(536, 354);
}

}  // namespace krellon
