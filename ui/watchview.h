#pragma once

#include "watchtable.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVector>

class QAction;
class QTableWidget;
class QTimer;
class QWidget;
class UDPBroadcaster;

// "Keep watching" and "Compare with a list…": while either is on, the view shows the devices in
// the table itself, keeping their rows across searches, and the window's own rows stay empty.
// While watching, a new search starts a pause after each one ends.
class WatchView : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultPauseMs = 10000;

    // table, broadcaster and window must outlive this.
    WatchView(QTableWidget *table, UDPBroadcaster *broadcaster, QWidget *window);

    QAction *keepWatchingAction() const { return watchAction; }
    QAction *compareAction() const { return listAction; }
    // True while the view shows the devices: from the first watch or comparison to a Refresh
    // that is not watching.
    bool holdsTable() const { return holding; }
    bool isWatching() const;
    // The time between the end of one search and the start of the next while watching.
    void setPause(int milliseconds);

    enum class Refresh { Searched, LeftToWindow };
    // Refresh: empties the rows and ends a comparison; while watching searches again itself.
    Refresh refresh();
    QString statusLine() const;
    // Compares the rows with the list in the file at path, or refuses the file with the reason.
    void compareWithFile(const QString &path);

signals:
    // The view is about to show the devices: the window empties its own rows.
    void takingTable();
    void statusChanged();

private:
    void setWatching(bool on);
    void takeTable();
    // The next search of the watch, unless a sweep of other networks still goes on.
    void startRound();
    void search();
    // Shows the answers the search received since the last call.
    void listAnswers();
    void searchFinished();
    void chooseList();

    UDPBroadcaster *broadcaster;
    QWidget *window;
    QAction *watchAction = nullptr;
    QAction *listAction = nullptr;
    QTimer *pauseTimer = nullptr;
    QTimer *listTimer = nullptr;
    QTimer *highlightTimer = nullptr;
    WatchTable rows;
    // The broadcaster's records already shown.
    int shownAnswers = 0;
    bool holding = false;
    // The running search is the one the rows began with.
    bool startingOver = false;
    QDateTime roundStarted;
    QDateTime lastSearch;
};
