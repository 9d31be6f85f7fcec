#pragma once

#include <QLabel>
#include <functional>

namespace krellon {

// A label with a caption and a click handler (a left press and release over it).
class Label : public QLabel {
public:
    Label(QWidget* parent, const QString& caption);

    void SetCaption(const QString& caption) { setText(caption); }
    QString Caption() const { return text(); }

    std::function<void()> Click;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

}  // namespace krellon
