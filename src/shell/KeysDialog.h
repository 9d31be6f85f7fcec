#pragma once

#include <QDialog>
#include <QList>
#include <QString>

namespace krellon {

// Help > Keys and Mouse: every key and mouse action of the editor and the explorer, from the
// table the manual page is made from.
class KeysDialog : public QDialog {
    Q_OBJECT

public:
    explicit KeysDialog(QWidget* parent = nullptr);

    // One line of the table: a heading (keys empty) or keys with what they do.
    struct Entry {
        QString keys;
        QString action;
    };
    // The table as the program carries it.
    static QList<Entry> table();
    // The table's text: "== Heading" lines and KEYS<TAB>ACTION lines; '#' starts a comment.
    static QList<Entry> parse(const QString& text);
};

}  // namespace krellon
