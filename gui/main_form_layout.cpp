// The controls of the main window, their German texts and their places.
// Sizes are pixels at 96 pixels per inch.
#include <QAction>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include "gui/file_browser.h"
#include "gui/job_list_box.h"
#include "gui/main_form.h"
#include "gui/progress_panel.h"

namespace {
template <class T, class... A>
T* Named(const char* name, A&&... args) {
    T* w = new T(std::forward<A>(args)...);
    w->setObjectName(name);
    return w;
}

QLabel* BoldLabel(const char* name, const QString& text) {
    QLabel* l = Named<QLabel>(name, text);
    l->setTextFormat(Qt::PlainText);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

QPushButton* ToolButton(const char* name, const QString& text, const QString& hint) {
    QPushButton* b = Named<QPushButton>(name, text);
    b->setFlat(true);
    b->setFixedSize(121, 25);
    b->setToolTip(hint);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}
}  // namespace

void TMainForm::CreateControls() {
    setObjectName("MainForm");
    setWindowTitle(QString::fromUtf8(kProgramTitle.data(), int(kProgramTitle.size())));
    setWindowIcon(QIcon(QStringLiteral(":/icons/dxf2plandrop-gui.png")));
    resize(750, 550);

    auto* central = Named<QWidget>("MainPanel");
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(CreateToolbar());
    PageControl2 = Named<QTabWidget>("PageControl2");
    TabSheet1 = CreateFilePage();
    TabSheet4 = CreateConvertPage();
    PageControl2->addTab(TabSheet1, QStringLiteral("DXF Dateien auswählen"));
    PageControl2->addTab(TabSheet4, QStringLiteral("Dateien umwandeln"));
    PageControl2->setCurrentIndex(0);
    column->addWidget(PageControl2, 1);
    column->addWidget(CreateBottomBar());
    setCentralWidget(central);
    CreateStatusBar();
}

QWidget* TMainForm::CreateToolbar() {
    auto* bar = Named<QWidget>("ToolBar1");
    bar->setFixedHeight(27);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(2, 1, 2, 1);
    row->setSpacing(0);
    NewBtn = ToolButton("NewBtn", QStringLiteral("&Neu"), QStringLiteral("Neues Projekt erstellen"));
    OpenBtn = ToolButton("OpenBtn", QStringLiteral("&Öffnen"), QStringLiteral("Projekt Datei öffnen..."));
    SaveBtn = ToolButton("SaveBtn", QStringLiteral("&Speichern"), QStringLiteral("Projekt Datei speichern"));
    SaveAsBtn = ToolButton("SaveAsBtn", QStringLiteral("Speichern &unter..."),
                           QStringLiteral("Projekt Datei speichern unter..."));
    for (QPushButton* b : {NewBtn, OpenBtn, SaveBtn, SaveAsBtn}) row->addWidget(b);
    row->addStretch();
    return bar;
}

QWidget* TMainForm::CreateFilePage() {
    auto* page = Named<QWidget>("TabSheet1");
    auto* column = new QVBoxLayout(page);
    column->addWidget(BoldLabel("Label1", QStringLiteral("DXF auswählen - Wählen Sie die Datei aus und klicken Sie auf "
                                                         "\"Hinzufügen\"")));

    auto* favourites = new QHBoxLayout;
    QLabel* favLabel = BoldLabel("Label2", QStringLiteral("Lieblings Ordner:"));
    favLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    favourites->addWidget(favLabel);
    PrefListBox = Named<QListWidget>("PrefListBox");
    PrefListBox->setFixedHeight(56);
    // A favourite is removed by Delete or by its context menu.
    PrefListBox->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* remove = new QAction(QStringLiteral("Aus den Lieblings Ordnern entfernen"), PrefListBox);
    remove->setObjectName("RemoveFavouriteAction");
    PrefListBox->addAction(remove);
    connect(remove, &QAction::triggered, this, &TMainForm::RemoveFavourite);
    favourites->addWidget(PrefListBox, 1);
    column->addLayout(favourites);

    auto* browser = Splitter1 = Named<QSplitter>("Splitter1", Qt::Horizontal);
    FolderTree = Named<TFolderTree>("FolderTree");
    FileList = Named<TFileList>("FileList");
    browser->addWidget(FolderTree);
    browser->addWidget(FileList);
    browser->setStretchFactor(1, 1);
    browser->setSizes({241, 470});

    auto* jobs = Named<QWidget>("JobPanel");
    auto* jobColumn = new QVBoxLayout(jobs);
    jobColumn->setContentsMargins(0, 0, 0, 0);
    auto* buttons = new QHBoxLayout;
    AddBtn = Named<QPushButton>("AddBtn", QStringLiteral("&Hinzufügen"));
    DelBtn = Named<QPushButton>("DelBtn", QStringLiteral("&Von Liste entfernen"));
    DelBtn->setEnabled(false);
    ConvertBtn = Named<QPushButton>("ConvertBtn", QStringLiteral("&Dateien konvertieren"));
    for (QPushButton* b : {AddBtn, DelBtn, ConvertBtn}) buttons->addWidget(b);
    buttons->addStretch();
    jobColumn->addLayout(buttons);
    ImageList = Named<TJobListBox>("ImageList");
    jobColumn->addWidget(ImageList, 1);

    auto* split = Splitter2 = Named<QSplitter>("Splitter2", Qt::Vertical);
    split->addWidget(browser);
    split->addWidget(jobs);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    column->addWidget(split, 1);
    return page;
}

QWidget* TMainForm::CreateConvertPage() {
    auto* page = Named<QWidget>("TabSheet4");
    auto* column = new QVBoxLayout(page);
    column->addWidget(BoldLabel("Label3", QStringLiteral("Dateien umwandeln - wählen Sie die Größe und klicken Sie auf "
                                                         "\"Dateien konvertieren!\"")));
    auto* row = new QHBoxLayout;

    auto* pictureColumn = new QVBoxLayout;
    auto* picture = Named<QLabel>("Image1");
    picture->setPixmap(QIcon(QStringLiteral(":/icons/dxf2plandrop-gui.png")).pixmap(128, 128));
    picture->setAlignment(Qt::AlignCenter);
    auto* pictureCaption = Named<QLabel>("Label4", QStringLiteral("Dateien umwandeln..."));
    pictureCaption->setAlignment(Qt::AlignHCenter);
    pictureColumn->addWidget(picture);
    pictureColumn->addWidget(pictureCaption);
    pictureColumn->addStretch();
    row->addLayout(pictureColumn);
    row->addSpacing(12);

    auto* settings = new QVBoxLayout;
    GoBtn = Named<QPushButton>("GoBtn", QStringLiteral("&Dateien konvertieren!"));
    GoBtn->setToolTip(QStringLiteral("Esc bricht eine laufende Umwandlung ab"));
    auto* goRow = new QHBoxLayout;
    goRow->addWidget(GoBtn);
    goRow->addStretch();
    settings->addLayout(goRow);

    settings->addWidget(Named<QLabel>("Label5", QStringLiteral("Ausgabe Ordner:")));
    DirectoryEdit1 = Named<QLineEdit>("DirectoryEdit1");
    QAction* browse = DirectoryEdit1->addAction(style()->standardIcon(QStyle::SP_DirOpenIcon), QLineEdit::TrailingPosition);
    browse->setObjectName("DirectoryEdit1Browse");
    browse->setToolTip(QStringLiteral("Ordner wählen..."));
    connect(browse, &QAction::triggered, this, [this] {
        const QString start = DirectoryEdit1->text().isEmpty() ? FormContext.DocumentsFolder : DirectoryEdit1->text();
        const QString folder = Dialogs->ExistingFolder(this, start);
        if (!folder.isEmpty()) DirectoryEdit1->setText(folder);
    });
    settings->addWidget(DirectoryEdit1);

    auto* form = Named<QGroupBox>("GroupBox1", QStringLiteral("Ausgabeformat"));
    auto* formColumn = new QVBoxLayout(form);
    RadioButton4 = Named<QRadioButton>("RadioButton4", QStringLiteral("Vereinfachte DXF Datei erzeugen"));
    RadioButton5 = Named<QRadioButton>(
        "RadioButton5",
        QStringLiteral("Textdatei erzeugen (Jede Zeile eine Linie (6 Koordinaten): von x;von y;bis x;bis y)"));
    RadioButton4->setChecked(true);
    formColumn->addWidget(RadioButton4);
    formColumn->addWidget(RadioButton5);
    settings->addWidget(form);

    auto* layouts = Named<QGroupBox>("GroupBox2", QStringLiteral("Layouts"));
    auto* layoutColumn = new QVBoxLayout(layouts);
    RadioButton2 = Named<QRadioButton>("RadioButton2", QStringLiteral("Alle Layouts konvertieren, jedes in eine eigene Datei"));
    RadioButton6 = Named<QRadioButton>("RadioButton6", QStringLiteral("Nur das Layout mit dieser Nummer konvertieren:"));
    RadioButton2->setChecked(true);
    LayoutEd = Named<QSpinBox>("LayoutEd");
    LayoutEd->setRange(1, 10000);
    LayoutEd->setValue(1);
    layoutColumn->addWidget(RadioButton2);
    auto* single = new QHBoxLayout;
    single->addWidget(RadioButton6);
    single->addWidget(LayoutEd);
    single->addStretch();
    layoutColumn->addLayout(single);
    settings->addWidget(layouts);
    settings->addStretch();
    row->addLayout(settings, 1);
    column->addLayout(row);

    column->addWidget(Named<QLabel>("Label6", QStringLiteral("Meldungen:")));
    Memo1 = Named<QPlainTextEdit>("Memo1");
    Memo1->setReadOnly(true);
    // 73 high at the window's first size; it takes the room the window
    // grows by.
    Memo1->setMinimumHeight(73);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    QPalette tip = Memo1->palette();
    tip.setColor(QPalette::Base, tip.color(QPalette::ToolTipBase));
    tip.setColor(QPalette::Text, tip.color(QPalette::ToolTipText));
    Memo1->setPalette(tip);
    column->addWidget(Memo1, 1);
    return page;
}

QWidget* TMainForm::CreateBottomBar() {
    auto* bar = Named<QWidget>("BottomPanel");
    bar->setFixedHeight(41);
    auto* row = new QHBoxLayout(bar);
    row->addStretch();
    AboutBtn = Named<QPushButton>("AboutBtn", QStringLiteral("Über"));
    QuitBtn = Named<QPushButton>("QuitBtn", QStringLiteral("Beenden"));
    row->addWidget(AboutBtn);
    row->addWidget(QuitBtn);
    return bar;
}

void TMainForm::CreateStatusBar() {
    StatusBar1 = Named<QStatusBar>("StatusBar1");
    StatusPanel0 = Named<QLabel>("StatusBar1Panel0");
    StatusPanel0->setFixedWidth(250);
    StatusPanel1 = Named<TProgressPanel>("StatusBar1Panel1");
    StatusPanel1->setFixedWidth(50);
    StatusPanel1->setToolTip(QStringLiteral("Fortschritt der Umwandlung"));
    StatusPercent = Named<QLabel>("StatusBar1Percent");
    StatusPercent->setMinimumWidth(40);
    StatusBar1->addWidget(StatusPanel0);
    StatusBar1->addWidget(StatusPanel1);
    StatusBar1->addWidget(StatusPercent);
    setStatusBar(StatusBar1);
}
