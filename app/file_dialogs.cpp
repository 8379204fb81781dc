#include "app/file_dialogs.h"

#include "app/menu_layout.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QString>

namespace zentra {
namespace {

QString ProjectFilter() {
    return QString::fromLatin1(kFileFilter.data(), qsizetype(kFileFilter.size())) +
           QStringLiteral(";;All Files (*)");
}

std::optional<std::string> Chosen(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst().toStdString();
}

} // namespace

std::optional<std::string> QtFileChooser::ChooseOpenPath() {
    QFileDialog dialog(parent_, QStringLiteral("Open"), QString(), ProjectFilter());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return Chosen(dialog);
}

std::optional<std::string> QtFileChooser::ChooseSavePath(const std::string& suggested) {
    QFileDialog dialog(parent_, QStringLiteral("Save As"), QString(), ProjectFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("ztr"));
    dialog.selectFile(QString::fromStdString(suggested));
    return Chosen(dialog);
}

std::optional<std::string> QtFileChooser::ChooseCsvPath() {
    QFileDialog dialog(parent_, QString::fromLatin1(kCsvDialogTitle), QString(),
                       QString::fromLatin1(kCsvFilter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // No default suffix: the name is used as typed. Replacing a file asks first
    // (the dialog's own overwrite question, which is on unless switched off).
    dialog.selectFile(QString::fromLatin1(kCsvInitialName));
    for (;;) {
        auto chosen = Chosen(dialog);
        // A name with a wildcard (the initial "*.csv" accepted as it stands) is a
        // pattern, not a file to create: it filters the list and the dialog stays.
        const QString name = chosen ? QFileInfo(QString::fromStdString(*chosen)).fileName() : "";
        if (!name.contains(QLatin1Char('*')) && !name.contains(QLatin1Char('?')))
            return chosen;
        dialog.setNameFilter(name);
        dialog.selectFile(name);
    }
}

std::optional<std::vector<std::string>> QtFileChooser::ChooseSurveyFiles(const std::string& folder) {
    QFileDialog dialog(parent_, QString::fromLatin1(kSurveyFilesTitle), QString::fromStdString(folder),
                       ProjectFilter());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    std::vector<std::string> files;
    for (const QString& file : dialog.selectedFiles())
        files.push_back(file.toStdString());
    return files;
}

} // namespace zentra
