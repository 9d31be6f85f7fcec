#include "Form1.h"

namespace krellon {

Form1::Form1(QWidget* parent) : QWidget(parent) {
    setWindowTitle("Krellon Boards Editor");
    setFixedSize(754, 575);
}

}  // namespace krellon
