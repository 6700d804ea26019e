// The about box "Info": the program icon, the product name, the version and
// an OK button that closes it.
#pragma once

#include <QDialog>

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

protected:
    // Centred on the screen, not over the window.
    void showEvent(QShowEvent* event) override;
};
