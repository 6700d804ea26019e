#include "gui/dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

bool TQtDialogs::Message(QWidget* parent, const QString& text, const QString& caption, TMsgIcon icon,
                         TMsgButtons buttons) {
    QMessageBox box(icon == TMsgIcon::Error ? QMessageBox::Critical : QMessageBox::Information,
                    caption.isEmpty() ? QString(kApplicationTitle) : caption, text, QMessageBox::NoButton, parent);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    if (buttons == TMsgButtons::OkCancel) box.addButton(QStringLiteral("Abbrechen"), QMessageBox::RejectRole);
    box.setDefaultButton(ok);
    box.exec();
    return box.clickedButton() == ok;
}

namespace {
QString RunFileDialog(QWidget* parent, const TFileDialogOptions& options, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, options.Title, options.Directory);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // Only the filter's name is shown. The pattern is also given in lower
    // case: on a case-sensitive file system "*.KPJ" alone would hide the
    // ".kpj" files this program saves.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilter(options.FilterName + " (" + options.Pattern + " " + options.Pattern.toLower() + ")");
    dialog.setDefaultSuffix(options.DefaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}
}  // namespace

QString TQtDialogs::OpenFileName(QWidget* parent, const TFileDialogOptions& options) {
    return RunFileDialog(parent, options, QFileDialog::AcceptOpen);
}

QString TQtDialogs::SaveFileName(QWidget* parent, const TFileDialogOptions& options) {
    return RunFileDialog(parent, options, QFileDialog::AcceptSave);
}

QString TQtDialogs::ExistingFolder(QWidget* parent, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, QStringLiteral("Ausgabe Ordner"), start);
}

void TQtDialogs::ShowModal(QDialog& dialog) { dialog.exec(); }
