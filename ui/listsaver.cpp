#include "listsaver.h"

#include "devicecsv.h"
#include "language.h"

#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTableWidget>
#include <QVector>

ListSaver::ListSaver(QTableWidget *table, QWidget *window)
    : QObject(window)
    , table(table)
    , window(window)
{}

void ListSaver::save()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    // Qt names the documents folder whether it exists or not; the dialog would then start in
    // the program's working folder.
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    const QString suggested =
        QDir(folder).filePath(DeviceCsv::suggestedFileName(QDate::currentDate()));
    QString path = askSavePath(suggested);
    if (path.isEmpty())
        return;
    // The dialog adds the suffix itself; a desktop's own dialog may not, and then it has not
    // asked about replacing the file of that name either.
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".csv");
        if (QFileInfo::exists(path) && !confirmReplace(path))
            return;
    }
    QString error;
    if (!writeList(path, &error)) {
        showSaveError(tr("The list could not be saved as %1:\n%2")
                          .arg(QDir::toNativeSeparators(path), error));
    }
}

QString ListSaver::askSavePath(const QString &suggestedPath)
{
    QFileDialog dialog(window, tr("Save list as CSV"), suggestedPath, tr("CSV files (*.csv)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // Added before the dialog asks whether to replace an existing file.
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedFiles().value(0);
}

bool ListSaver::confirmReplace(const QString &path)
{
    return QMessageBox::question(window, tr("Save list as CSV"),
                                 tr("%1 already exists.\nDo you want to replace it?")
                                     .arg(QDir::toNativeSeparators(path))) == QMessageBox::Yes;
}

void ListSaver::showSaveError(const QString &message)
{
    QMessageBox::warning(window, tr("Save list as CSV"), message);
}

bool ListSaver::writeList(const QString &path, QString *error) const
{
    // Every listed device, in the order the table shows them.
    QStringList header;
    for (int column = 0; column < table->columnCount(); ++column) {
        const QTableWidgetItem *item = table->horizontalHeaderItem(column);
        header << (item ? item->text() : QString());
    }
    QVector<QStringList> lines;
    lines.reserve(table->rowCount());
    for (int row = 0; row < table->rowCount(); ++row) {
        QStringList fields;
        for (int column = 0; column < table->columnCount(); ++column) {
            const QTableWidgetItem *item = table->item(row, column);
            fields << (item ? item->text() : QString());
        }
        lines << fields;
    }
    const QByteArray data =
        DeviceCsv::document(header, lines, DeviceCsv::separator(Language::isPolish()));

    // Written beside the target and put in its place only when whole: a failed save leaves an
    // existing file as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *error = file.errorString();
        return false;
    }
    // Unbuffered, so that a write that stops partway (a full disk) shows in write()'s result:
    // buffered, Qt lets such a file be committed without any error.
    if (file.write(data) != data.size()) {
        *error = file.error() == QFileDevice::NoError
                     ? tr("Only part of the list could be written; the disk may be full.")
                     : file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
