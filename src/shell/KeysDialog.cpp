#include "KeysDialog.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace krellon {

KeysDialog::KeysDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Keys and Mouse");
    setObjectName("keysDialog");
    QString html = "<table cellspacing='0' cellpadding='3'>";
    for (const Entry& entry : table()) {
        if (entry.keys.isEmpty()) {
            html += "<tr><td colspan='2'><h3>" + entry.action.toHtmlEscaped() + "</h3></td></tr>";
        } else {
            html += "<tr><td><b>" + entry.keys.toHtmlEscaped() + "</b></td><td>" +
                    entry.action.toHtmlEscaped() + "</td></tr>";
        }
    }
    html += "</table>";
    auto* text = new QTextBrowser(this);
    text->setObjectName("keysText");
    text->setHtml(html);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(buttons);
    resize(640, 560);
}

QList<KeysDialog::Entry> KeysDialog::table() {
    QFile file(":/help/keys-and-mouse.txt");
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return parse(QString::fromUtf8(file.readAll()));
}

QList<KeysDialog::Entry> KeysDialog::parse(const QString& text) {
    QList<Entry> entries;
    for (const QString& line : text.split('\n')) {
        if (line.isEmpty() || line.startsWith('#')) {
            continue;
        }
        if (line.startsWith("== ")) {
            entries.append({QString(), line.mid(3).trimmed()});
            continue;
        }
        const qsizetype tab = line.indexOf('\t');
        if (tab > 0) {
            entries.append({line.left(tab), line.mid(tab + 1).trimmed()});
        }
    }
    return entries;
}

}  // namespace krellon
