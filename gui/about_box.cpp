#include "gui/about_box.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName("AboutBox");
    setWindowTitle(QStringLiteral("Info"));
    auto* icon = new QLabel(this);
    icon->setObjectName("ProgramIcon");
    icon->setPixmap(QIcon(QStringLiteral(":/icons/dxf2plandrop-gui.png")).pixmap(64, 64));
    icon->setAlignment(Qt::AlignTop);

    auto* product = new QLabel(QStringLiteral("Bramwick DXF 2 Plandrop"), this);
    product->setObjectName("ProductName");
    QFont bold = product->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    product->setFont(bold);
    // The project's version with the build number 0: "Version 1.0.0.0".
    auto* version = new QLabel(QStringLiteral("Version " DXF2PLANDROP_VERSION ".0"), this);
    version->setObjectName("Version");
    auto* text = new QLabel(QStringLiteral("Wandelt DXF Zeichnungen in vereinfachte DXF Dateien\n"
                                           "oder in Textdateien mit einer Linie je Zeile um."),
                            this);
    text->setObjectName("Comments");

    auto* lines = new QVBoxLayout;
    lines->addWidget(product);
    lines->addWidget(version);
    lines->addSpacing(8);
    lines->addWidget(text);
    lines->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(12);
    top->addLayout(lines);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName("OKButton");
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    setModal(true);
}

void TAboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}
