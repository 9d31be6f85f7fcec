#include "ComboBox.h"
#include "Handlers.h"

#include <QKeyEvent>
#include <QLineEdit>

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

void ComboBox::Clear() {
    clear();
    clearEditText();
}

void ComboBox::AddItem(const QString& text) {
    addItem(text);
}

void ComboBox::AddItems(const QStringList& texts) {
    if (count() > 0 || texts.isEmpty()) {
        insertItems(count(), texts);
        return;
    }
    // Into an empty list the texts go in one call. The box then selects the first entry, as
    // it does when entries are added to an empty list one by one.
    texts_->setStringList(texts);
    setCurrentIndex(0);
}

void ComboBox::SetItems(const QStringList& texts) {
    if (!texts.isEmpty() && texts_->stringList() == texts) {
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
    setCurrentIndex(findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
    setEditText(text);
}

void ComboBox::SetTextNoSelection(const QString& text) {
    setCurrentIndex(-1);
    setEditText(text);
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
