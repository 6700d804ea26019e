// Panel 1 of the status bar: the progress of a conversion run as a bar.
#pragma once

#include <QColor>
#include <QRect>
#include <QWidget>

// The bar's colour, 0x800000 in 0x00BBGGRR notation: dark blue.
inline const QColor kProgressColour(0x00, 0x00, 0x80);

// Where the blue part of a panel ends for percentage p: Left + (Right - Left)
// * p / 100 in integers, p kept within 0..100.
int ProgressSplit(const QRect& panel, int percent);

class TProgressPanel : public QWidget {
    Q_OBJECT
public:
    explicit TProgressPanel(QWidget* parent = nullptr);
    int Percent() const { return ProgressPercent; }
    // SetProStatus: a smaller percentage repaints the whole panel, a larger
    // one only the blue part up to it.
    void SetProStatus(int percent);

protected:
    // StatusBar1DrawPanel: blue from the left to the split, button face from
    // there to the right.
    void paintEvent(QPaintEvent* event) override;

private:
    int ProgressPercent = 0;
    QRect LastRect;
};
