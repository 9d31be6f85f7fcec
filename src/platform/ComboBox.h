#pragma once

#include <QComboBox>
#include <QStringListModel>
#include <functional>

namespace krellon {

// A combo box with an edit field. Only the user's pick from the list and a selection from
// code (SetListIndex) run the click handler; typing and setting the text run nothing.
// Entries are names kept exactly as given (file names with bytes that are not UTF-8, say);
// the list shows each readably (ShownFileName), and List and Text give the names back.
class ComboBox : public QComboBox {
public:
    explicit ComboBox(QWidget* parent);

    void Clear();
    void AddItem(const QString& text);
    // Appends the entries in their order.
    void AddItems(const QStringList& texts);
    // Makes the list hold exactly texts, in their order: Clear, then AddItems. A list that
    // holds them already is left as it is, which spares rebuilding a long list that a file
    // read again gives back unchanged.
    void SetItems(const QStringList& texts);
    // Selects entry index (0-based) and runs the click handler before returning.
    void SetListIndex(int index);
    // The selected entry, -1 for none.
    int ListIndex() const { return currentIndex(); }
    int ListCount() const { return count(); }
    QString List(int index) const { return names_.value(index); }
    // Sets the edit text and selects the entry that reads exactly so, if any; runs nothing.
    void SetText(const QString& text);
    // Sets the edit text with no entry selected; runs nothing.
    void SetTextNoSelection(const QString& text);
    // The edit text: the name of the entry or text set, unless the user has typed since.
    QString Text() const;

    std::function<void()> ClickHandler;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The wheel turns the list only while it has the keyboard focus; otherwise it is the
    // window's, so that scrolling past a list never picks another entry.
    void wheelEvent(QWheelEvent* event) override;

private:
    // A plain list of texts: filling it is one call, where the default item model builds an
    // item object with its own data for every entry.
    QStringListModel* texts_ = nullptr;
    QStringList names_;  // the entries as given; texts_ holds them as shown
    QString editName_;   // the name behind the edit text, while it shows that name
};

}  // namespace krellon
