// The job list box ImageList: the file names of the job list's entries, with
// multiple selection. Drawings dropped onto it from a file manager are handed
// on to be added.
#pragma once

#include <QListWidget>
#include <QStringList>

// The local files among dropped URLs whose names end in ".dxf" (any case),
// in the order given. Folders and other files are left out.
QStringList DroppedDrawings(const QList<QUrl>& urls);

class TJobListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TJobListBox(QWidget* parent = nullptr);
    // The selected display positions, in ascending order.
    QList<int> SelectedPositions() const;

signals:
    void DrawingsDropped(const QStringList& paths);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};
