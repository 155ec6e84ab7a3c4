#include "ui/FileChooser.h"

#include <QFileInfo>
#include <algorithm>

namespace quorbin {

FileChooser::FileChooser(QWidget* parent, const QString& title, const QString& filters)
    : QFileDialog(parent, title, QString(), filters)
{
    setFileMode(QFileDialog::ExistingFile);
    setAcceptMode(QFileDialog::AcceptOpen);
}

void FileChooser::accept()
{
    // One file beside folders can only come from a typed path: keep the file.
    const QStringList chosen = selectedFiles();
    const auto isFile = [](const QString& path) { return QFileInfo(path).isFile(); };
    if (chosen.size() > 1 && std::count_if(chosen.begin(), chosen.end(), isFile) == 1)
        selectFile(*std::find_if(chosen.begin(), chosen.end(), isFile));
    QFileDialog::accept();
}

QString ChooseFileToOpen(QWidget* parent, const QString& title, const QString& filters, const QString& folder)
{
    FileChooser chooser(parent, title, filters);
    if (!folder.isEmpty())
        chooser.setDirectory(folder);
    return chooser.exec() == QDialog::Accepted ? chooser.selectedFiles().value(0) : QString();
}

}  // namespace quorbin
