#pragma once
// The chooser of a file to open. Qt's own widget chooser selects, while a
// full path is typed into its name field, every existing path the text passes
// through; the folder it shows stays selected beside the file, and Enter then
// goes into that folder and empties the field instead of choosing the file.
// This chooser takes the file.
#include <QFileDialog>

namespace quorbin {

class FileChooser : public QFileDialog {
    Q_OBJECT
public:
    // `filters` as for QFileDialog: "WAVE files (*.wav);;All files (*)".
    FileChooser(QWidget* parent, const QString& title, const QString& filters);

    void accept() override;
};

// Runs a chooser that starts in `folder` (empty: where the last one was left,
// else the working folder); the chosen file, or an empty text when cancelled.
QString ChooseFileToOpen(QWidget* parent, const QString& title, const QString& filters, const QString& folder = {});

}  // namespace quorbin
