#include "gui/job_list_box.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <algorithm>

QStringList DroppedDrawings(const QList<QUrl>& urls) {
    QStringList paths;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) continue;
        const QFileInfo info(url.toLocalFile());
        if (info.isFile() && info.fileName().endsWith(QStringLiteral(".dxf"), Qt::CaseInsensitive))
            paths << info.absoluteFilePath();
    }
    return paths;
}

TJobListBox::TJobListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
}

QList<int> TJobListBox::SelectedPositions() const {
    QList<int> rows;
    for (const QModelIndex& i : selectionModel()->selectedIndexes()) rows << i.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TJobListBox::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && !DroppedDrawings(event->mimeData()->urls()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TJobListBox::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
    else event->ignore();
}

void TJobListBox::dropEvent(QDropEvent* event) {
    const QStringList paths = event->mimeData()->hasUrls() ? DroppedDrawings(event->mimeData()->urls()) : QStringList();
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit DrawingsDropped(paths);
}
