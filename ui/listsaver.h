#pragma once

#include <QObject>
#include <QString>

class QTableWidget;
class QWidget;

// Saves the listed devices as a CSV file that the user names, in the order the table shows
// them, with the table's column titles as header.
class ListSaver : public QObject
{
    Q_OBJECT

public:
    // The dialogs open over window; table and window must outlive this.
    ListSaver(QTableWidget *table, QWidget *window);

    // Asks for the file and writes it; a failure is shown in a message box.
    void save();

protected:
    // Asks where to save the list, starting at suggestedPath; empty when the user cancels.
    // Tests replace it, and the message box below, so that no modal dialog blocks them.
    virtual QString askSavePath(const QString &suggestedPath);
    virtual void showSaveError(const QString &message);
    // Whether an existing file that the dialog did not ask about may be replaced.
    virtual bool confirmReplace(const QString &path);

private:
    bool writeList(const QString &path, QString *error) const;

    QTableWidget *table;
    QWidget *window;
};
