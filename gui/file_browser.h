// The file browser of the first page: a tree of folders and the list of the
// selected folder's sub-folders and "*.dxf" files. The list follows the
// tree: opening a folder in the list selects it in the tree. Neither looks
// into files (only names and file system information are read), so special
// files (/proc) and large folders are harmless.
#pragma once

#include <QFileSystemWatcher>
#include <QStringList>
#include <QTreeWidget>

// Folders only, from the file system's root "/". A folder's sub-folders are
// read when it is unfolded (again on every unfolding, so the tree follows
// the disk) and when a path is selected through it; reading is synchronous,
// so a selected path is there at once.
class TFolderTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit TFolderTree(QWidget* parent = nullptr);
    // The selected folder (without trailing '/', "/" for the root), or empty.
    QString SelectedFolder() const;
    // Selects the folder, unfolds the tree down to it and shows it; a path
    // that is no folder changes nothing. Returns whether it was selected.
    // Hidden folders on the way are shown.
    bool SetSelectedFolder(const QString& folder);

signals:
    void FolderSelected(const QString& folder);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Brings an item's children in line with the folder's sub-folders.
    void ReadChildren(QTreeWidgetItem* item);
    // The child item of a sub-folder, added when missing (a hidden folder).
    QTreeWidgetItem* Child(QTreeWidgetItem* item, const QString& name);
    QTreeWidgetItem* NewItem(const QString& path, const QString& name);
};

// The file list in report view: sub-folders first, then the files matching
// "*.dxf" (in any case: plan.DXF too), each sorted by name.
class TFileList : public QTreeWidget {
    Q_OBJECT
public:
    explicit TFileList(QWidget* parent = nullptr);
    // Shows the folder's content; an empty or missing folder shows nothing.
    void OpenFolder(const QString& folder);
    QString Folder() const { return CurrentFolder; }
    // The names of the selected files, in the list's order; folders are left
    // out.
    QStringList SelectedFileNames() const;
    // Whether an item is a folder, and its full path.
    static bool IsFolder(const QTreeWidgetItem* item);
    static QString PathOf(const QTreeWidgetItem* item);

private:
    QString CurrentFolder;
    QFileSystemWatcher Watcher;
    void Reload();
};
