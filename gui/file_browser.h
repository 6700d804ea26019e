// The file browser of the first page: a tree of folders and the list of the
// selected folder's sub-folders and "*.dxf" files. The list follows the
// tree: opening a folder in the list selects it in the tree.
#pragma once

#include <QFileSystemWatcher>
#include <QStringList>
#include <QTreeView>
#include <QTreeWidget>

class QFileSystemModel;

// Folders only, from the file system's root.
class TFolderTree : public QTreeView {
    Q_OBJECT
public:
    explicit TFolderTree(QWidget* parent = nullptr);
    // The selected folder (without trailing '/', "/" for the root), or empty.
    QString SelectedFolder() const;
    // Selects the folder, unfolds the tree down to it and shows it; a path
    // that is no folder changes nothing. Returns whether it was selected.
    bool SetSelectedFolder(const QString& folder);

signals:
    void FolderSelected(const QString& folder);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QFileSystemModel* Model;
    // The model reads folders in the background: the selected folder is
    // kept in view while the folders above it fill in.
    bool KeepInView = false;
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
