#include "gui/stored_settings.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <utility>

namespace {
std::pair<const char*, QRadioButton*> Radios(const TStoredControls& c, int i) {
    switch (i) {
    case 0: return {"RadioButton4.Checked", c.RadioButton4};
    case 1: return {"RadioButton5.Checked", c.RadioButton5};
    case 2: return {"RadioButton6.Checked", c.RadioButton6};
    default: return {"RadioButton2.Checked", c.RadioButton2};
    }
}
}  // namespace

void RestoreSettings(const QString& file, const TStoredControls& c) {
    if (file.isEmpty()) return;
    QSettings s(file, QSettings::IniFormat);
    s.beginGroup(kSettingsSection);
    if (s.contains("DirectoryEdit1.Text")) c.DirectoryEdit1->setText(s.value("DirectoryEdit1.Text").toString());
    for (int i = 0; i < 4; ++i) {
        auto [key, radio] = Radios(c, i);
        if (s.value(key).toBool()) radio->setChecked(true);
    }
}

void StoreSettings(const QString& file, const TStoredControls& c) {
    if (file.isEmpty()) return;
    QSettings s(file, QSettings::IniFormat);
    s.beginGroup(kSettingsSection);
    s.setValue("DirectoryEdit1.Text", c.DirectoryEdit1->text());
    for (int i = 0; i < 4; ++i) {
        auto [key, radio] = Radios(c, i);
        s.setValue(key, radio->isChecked());
    }
    s.endGroup();
    s.sync();
}

TWindowState ReadWindowState(const QString& file) {
    TWindowState w;
    if (file.isEmpty()) return w;
    QSettings s(file, QSettings::IniFormat);
    s.beginGroup(kSettingsSection);
    w.Geometry = s.value("MainForm.Geometry").toByteArray();
    w.Splitter1 = s.value("Splitter1.State").toByteArray();
    w.Splitter2 = s.value("Splitter2.State").toByteArray();
    w.Folder = s.value("FolderTree.Folder").toString();
    return w;
}

void WriteWindowState(const QString& file, const TWindowState& w) {
    if (file.isEmpty()) return;
    QSettings s(file, QSettings::IniFormat);
    s.beginGroup(kSettingsSection);
    s.setValue("MainForm.Geometry", w.Geometry);
    s.setValue("Splitter1.State", w.Splitter1);
    s.setValue("Splitter2.State", w.Splitter2);
    s.setValue("FolderTree.Folder", w.Folder);
    s.endGroup();
    s.sync();
}
