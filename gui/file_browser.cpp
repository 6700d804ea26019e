#include "gui/file_browser.h"

#include <QDateTime>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QShowEvent>

namespace {
enum { kPathRole = Qt::UserRole, kFolderRole = Qt::UserRole + 1 };
}  // namespace

TFolderTree::TFolderTree(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    addTopLevelItem(NewItem(QStringLiteral("/"), QStringLiteral("/")));
    connect(this, &QTreeWidget::itemExpanded, this, &TFolderTree::ReadChildren);
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (current) emit FolderSelected(TFileList::PathOf(current));
    });
}

QTreeWidgetItem* TFolderTree::NewItem(const QString& path, const QString& name) {
    auto* item = new QTreeWidgetItem(QStringList(name));
    item->setIcon(0, QFileIconProvider().icon(QFileIconProvider::Folder));
    item->setData(0, kPathRole, path);
    item->setData(0, kFolderRole, true);
    // Whether it has sub-folders is found out when it is unfolded.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

void TFolderTree::ReadChildren(QTreeWidgetItem* item) {
    const QString path = TFileList::PathOf(item);
    const QStringList names =
        QDir(path).entryList(QDir::AllDirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    // Items of folders that are gone are removed; the others keep their
    // state (unfolded, selected). Hidden folders the tree was led to stay
    // (after the listed ones) while they exist.
    for (int i = item->childCount(); i-- > 0;)
        if (!names.contains(item->child(i)->text(0)) && !QFileInfo(TFileList::PathOf(item->child(i))).isDir())
            delete item->takeChild(i);
    for (int i = 0; i < names.size(); ++i) {
        if (i < item->childCount() && item->child(i)->text(0) == names[i]) continue;
        QTreeWidgetItem* existing = nullptr;
        for (int j = i + 1; j < item->childCount() && !existing; ++j)
            if (item->child(j)->text(0) == names[i]) existing = item->takeChild(j);
        const QString childPath = path.endsWith('/') ? path + names[i] : path + '/' + names[i];
        item->insertChild(i, existing ? existing : NewItem(childPath, names[i]));
    }
    if (item->childCount() == 0) item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

QTreeWidgetItem* TFolderTree::Child(QTreeWidgetItem* item, const QString& name) {
    for (int i = 0; i < item->childCount(); ++i)
        if (item->child(i)->text(0) == name) return item->child(i);
    const QString path = TFileList::PathOf(item);
    QTreeWidgetItem* child = NewItem(path.endsWith('/') ? path + name : path + '/' + name, name);
    item->addChild(child);
    return child;
}

void TFolderTree::showEvent(QShowEvent* event) {
    QTreeWidget::showEvent(event);
    if (currentItem()) scrollToItem(currentItem());
}

QString TFolderTree::SelectedFolder() const { return currentItem() ? TFileList::PathOf(currentItem()) : QString(); }

bool TFolderTree::SetSelectedFolder(const QString& folder) {
    const QString path = QDir::cleanPath(folder);
    if (!path.startsWith('/') || !QFileInfo(path).isDir()) return false;
    QTreeWidgetItem* item = topLevelItem(0);
    for (const QString& name : path.split('/', Qt::SkipEmptyParts)) {
        if (!item->isExpanded()) item->setExpanded(true);  // reads its children
        item = Child(item, name);
    }
    setCurrentItem(item);
    scrollToItem(item);
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
    // The folder shown already is kept current by the watcher.
    if (folder == CurrentFolder) return;
    if (!CurrentFolder.isEmpty()) Watcher.removePath(CurrentFolder);
    CurrentFolder = folder;
    if (!CurrentFolder.isEmpty() && QFileInfo(CurrentFolder).isDir()) Watcher.addPath(CurrentFolder);
    // Another folder starts unselected at its top, every row drawn anew
    // (a selection of the folder before must not survive in any form).
    clearSelection();
    setCurrentItem(nullptr);
    Reload();
    scrollToTop();
    viewport()->update();
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
