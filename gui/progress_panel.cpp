#include "gui/progress_panel.h"

#include <QPainter>
#include <algorithm>

int ProgressSplit(const QRect& panel, int percent) {
    const int p = std::clamp(percent, 0, 100);
    // QRect's right() is the last pixel inside; the panel's Right is one past.
    const int left = panel.left(), right = panel.left() + panel.width();
    return left + (right - left) * p / 100;
}

TProgressPanel::TProgressPanel(QWidget* parent) : QWidget(parent) {}

void TProgressPanel::SetProStatus(int percent) {
    const bool smaller = percent < ProgressPercent;
    ProgressPercent = percent;
    if (smaller || LastRect.isNull()) {
        update();
        return;
    }
    const int x = ProgressSplit(LastRect, percent);
    update(QRect(LastRect.left(), LastRect.top(), x - LastRect.left(), LastRect.height()));
}

void TProgressPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect panel = rect();
    const int x = ProgressSplit(panel, ProgressPercent);
    const int right = panel.left() + panel.width();
    painter.fillRect(QRect(panel.left(), panel.top(), x - panel.left(), panel.height()), kProgressColour);
    painter.fillRect(QRect(x, panel.top(), right - x, panel.height()), palette().color(QPalette::Button));
    LastRect = panel;
}
