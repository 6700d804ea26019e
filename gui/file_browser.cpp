#include "gui/file_browser.h"

#include <QDateTime>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLocale>
#include <QShowEvent>

namespace {
enum { kPathRole = Qt::UserRole, kFolderRole = Qt::UserRole + 1 };
}

TFolderTree::TFolderTree(QWidget* parent) : QTreeView(parent), Model(new QFileSystemModel(this)) {
    Model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    Model->setRootPath(QStringLiteral("/"));
    setModel(Model);
    for (int c = 1; c < Model->columnCount(); ++c) hideColumn(c);
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) emit FolderSelected(Model->filePath(current));
            });
    connect(Model, &QFileSystemModel::directoryLoaded, this, [this](const QString& path) {
        if (!KeepInView) return;
        scrollTo(currentIndex());
        if (path == SelectedFolder()) KeepInView = false;
    });
}

void TFolderTree::showEvent(QShowEvent* event) {
    QTreeView::showEvent(event);
    if (currentIndex().isValid()) scrollTo(currentIndex());
}

QString TFolderTree::SelectedFolder() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? Model->filePath(i) : QString();
}

bool TFolderTree::SetSelectedFolder(const QString& folder) {
    QString path = QDir::cleanPath(folder);
    if (path.isEmpty() || !QFileInfo(path).isDir()) return false;
    const QModelIndex i = Model->index(path);
    if (!i.isValid()) return false;
    for (QModelIndex p = i.parent(); p.isValid(); p = p.parent()) expand(p);
    setCurrentIndex(i);
    scrollTo(i);
    KeepInView = true;
    return true;
}

TFileList::TFileList(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(3);
    setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Größe"), QStringLiteral("Geändert am")});
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setSectionResizeMode(0, QHeaderView::Stretch);
    header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    connect(&Watcher, &QFileSystemWatcher::directoryChanged, this, [this] { Reload(); });
}

void TFileList::OpenFolder(const QString& folder) {
    if (!CurrentFolder.isEmpty()) Watcher.removePath(CurrentFolder);
    CurrentFolder = folder;
    if (!CurrentFolder.isEmpty() && QFileInfo(CurrentFolder).isDir()) Watcher.addPath(CurrentFolder);
    Reload();
}

void TFileList::Reload() {
    // What was selected stays selected when the folder's content changes.
    QStringList selected;
    for (const QTreeWidgetItem* item : selectedItems()) selected << PathOf(item);
    clear();
    if (CurrentFolder.isEmpty()) return;
    QDir dir(CurrentFolder);
    dir.setNameFilters({QStringLiteral("*.dxf")});  // QDir matches names ignoring case
    const QFileInfoList entries = dir.entryInfoList(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot,
                                                    QDir::Name | QDir::DirsFirst | QDir::IgnoreCase);
    QFileIconProvider icons;
    const QLocale locale(QLocale::German);
    for (const QFileInfo& e : entries) {
        auto* item = new QTreeWidgetItem(this);
        item->setText(0, e.fileName());
        item->setIcon(0, icons.icon(e.isDir() ? QFileIconProvider::Folder : QFileIconProvider::File));
        if (!e.isDir()) {
            item->setText(1, locale.formattedDataSize(e.size(), 1, QLocale::DataSizeTraditionalFormat));
            item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        }
        item->setText(2, locale.toString(e.lastModified(), QStringLiteral("dd.MM.yyyy HH:mm")));
        item->setData(0, kPathRole, e.absoluteFilePath());
        item->setData(0, kFolderRole, e.isDir());
        if (selected.contains(e.absoluteFilePath())) item->setSelected(true);
    }
}

QStringList TFileList::SelectedFileNames() const {
    QStringList names;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = topLevelItem(i);
        if (item->isSelected() && !IsFolder(item)) names << item->text(0);
    }
    return names;
}

bool TFileList::IsFolder(const QTreeWidgetItem* item) { return item && item->data(0, kFolderRole).toBool(); }

QString TFileList::PathOf(const QTreeWidgetItem* item) {
    return item ? item->data(0, kPathRole).toString() : QString();
}
