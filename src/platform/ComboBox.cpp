#include "ComboBox.h"
#include "Handlers.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>

#include "storage/FileNames.h"

namespace krellon {

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent) {
    texts_ = new QStringListModel(this);
    setModel(texts_);
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    setMaxVisibleItems(20);
    // Enter in the edit field would pick a matching entry; typed text must have no effect.
    lineEdit()->installEventFilter(this);
    connect(this, &QComboBox::activated, this, [this](int) { RunHandler(this, ClickHandler); });
}

namespace {

QStringList Shown(const QStringList& names) {
    QStringList shown;
    shown.reserve(names.size());
    for (const QString& name : names) {
        shown << ShownFileName(name);
    }
    return shown;
}

}  // namespace

void ComboBox::Clear() {
    clear();
    clearEditText();
    names_.clear();
    editName_.clear();
}

void ComboBox::AddItem(const QString& text) {
    AddItems({text});
}

void ComboBox::AddItems(const QStringList& texts) {
    if (texts.isEmpty()) {
        return;
    }
    const bool wasEmpty = count() == 0;
    names_ += texts;
    if (!wasEmpty) {
        insertItems(count(), Shown(texts));
        return;
    }
    // Into an empty list the texts go in one call. The box then selects the first entry, as
    // it does when entries are added to an empty list one by one.
    texts_->setStringList(Shown(texts));
    setCurrentIndex(0);
    editName_ = names_.front();
}

void ComboBox::SetItems(const QStringList& texts) {
    if (!texts.isEmpty() && names_ == texts) {
        return;
    }
    Clear();
    AddItems(texts);
}

void ComboBox::SetListIndex(int index) {
    setCurrentIndex(index);
    if (ClickHandler) {
        ClickHandler();
    }
}

void ComboBox::SetText(const QString& text) {
    // As with a typed text, an entry that reads exactly so becomes the selected one.
    setCurrentIndex(static_cast<int>(names_.indexOf(text)));
    setEditText(ShownFileName(text));
    editName_ = text;
}

void ComboBox::SetTextNoSelection(const QString& text) {
    setCurrentIndex(-1);
    setEditText(ShownFileName(text));
    editName_ = text;
}

QString ComboBox::Text() const {
    const QString shown = currentText();
    const int index = currentIndex();
    if (index >= 0 && index < names_.size() && shown == itemText(index)) {
        return names_[index];
    }
    return shown == ShownFileName(editName_) ? editName_ : shown;
}

void ComboBox::wheelEvent(QWheelEvent* event) {
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    QComboBox::wheelEvent(event);
}

bool ComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            return true;
        }
    }
    return QComboBox::eventFilter(watched, event);
}

}  // namespace krellon
