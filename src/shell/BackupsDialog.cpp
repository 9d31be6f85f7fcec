#include "BackupsDialog.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/Dialogs.h"
#include "storage/FileNames.h"
#include "storage/FileWrites.h"
#include "storage/StatusNotices.h"

namespace krellon {

namespace {

const QString kCaption = "Krellon Boards Editor";

QString WhenText(std::int64_t timeNs) {
    return QDateTime::fromMSecsSinceEpoch(timeNs / 1000000).toString("yyyy-MM-dd HH:mm:ss");
}

}  // namespace

BackupsDialog::BackupsDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Backups");
    resize(640, 360);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        "Earlier versions of the files of this folder, kept each time the editor replaced "
        "one. Restoring a version keeps the current content as a version too.",
        this));
    qobject_cast<QLabel*>(layout->itemAt(0)->widget())->setWordWrap(true);
    List = new QTreeWidget(this);
    List->setHeaderLabels({"File", "Date and time", "Size", "Replaced by"});
    List->setRootIsDecorated(false);
    List->setUniformRowHeights(true);
    List->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(List);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    Restore = buttons->addButton("Restore", QDialogButtonBox::ActionRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(Restore, &QPushButton::clicked, this, [this] {
        const QModelIndex current = List->currentIndex();
        if (current.isValid()) {
            restoreRow(current.row());
        }
    });
    connect(List, &QTreeWidget::itemSelectionChanged, this,
            [this] { Restore->setEnabled(List->currentIndex().isValid()); });
    reload();
}

void BackupsDialog::reload() {
    entries_ = Backups().list(std::filesystem::current_path());
    List->clear();
    const QLocale locale;
    for (const BackupEntry& entry : entries_) {
        auto* item = new QTreeWidgetItem(List);
        item->setText(0, ShownFileName(NameFromPath(entry.original.filename())));
        item->setText(1, WhenText(entry.timeNs));
        item->setText(2, locale.formattedDataSize(static_cast<qint64>(entry.size)));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(3, QString::fromStdString(entry.reason));
    }
    // The newest version is the one usually wanted: it is selected, not yet restored.
    if (List->topLevelItemCount() > 0) {
        List->setCurrentItem(List->topLevelItem(0));
    }
    Restore->setEnabled(List->currentItem() != nullptr);
}

bool BackupsDialog::restoreRow(int row) {
    if (row < 0 || row >= static_cast<int>(entries_.size())) {
        return false;
    }
    const BackupEntry entry = entries_[static_cast<std::size_t>(row)];
    const QString name = ShownFileName(NameFromPath(entry.original.filename()));
    const Status saved = RestoreBackup(entry);
    if (!saved.ok()) {
        MsgBox(this, "Could not restore " + name + ": " + ReasonText(saved), kCaption);
        return false;
    }
    ShowStatus("Restored " + name + " as it was on " + WhenText(entry.timeNs));
    emit restored(NameFromPath(entry.original.filename()));  // the name itself, not as shown
    reload();
    return true;
}

}  // namespace krellon
