#include "watchview.h"

#include "devicerecord.h"
#include "udpbroadcaster.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTableWidget>
#include <QTimer>

namespace {
// How long a device that answers again stays highlighted.
constexpr int highlightMs = 3000;
} // namespace

WatchView::WatchView(QTableWidget *table, UDPBroadcaster *broadcaster, QWidget *window)
    : QObject(window)
    , broadcaster(broadcaster)
    , window(window)
    , rows(table)
{
    watchAction = new QAction(tr("Keep watching"), this);
    watchAction->setCheckable(true);
    watchAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W));
    listAction = new QAction(tr("Compare with a list…"), this);
    listAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    for (QAction *action : {watchAction, listAction}) {
        action->setShortcutContext(Qt::WindowShortcut);
        window->addAction(action);
    }
    connect(watchAction, &QAction::toggled, this, &WatchView::setWatching);
    connect(listAction, &QAction::triggered, this, &WatchView::chooseList);

    pauseTimer = new QTimer(this);
    pauseTimer->setSingleShot(true);
    pauseTimer->setInterval(defaultPauseMs);
    connect(pauseTimer, &QTimer::timeout, this, &WatchView::startRound);
    // Answers of one pass of the event loop are shown together, after it.
    listTimer = new QTimer(this);
    listTimer->setSingleShot(true);
    listTimer->setInterval(0);
    connect(listTimer, &QTimer::timeout, this, &WatchView::listAnswers);
    highlightTimer = new QTimer(this);
    highlightTimer->setSingleShot(true);
    highlightTimer->setInterval(highlightMs);
    connect(highlightTimer, &QTimer::timeout, this, [this] { rows.endHighlights(); });

    connect(broadcaster, &UDPBroadcaster::deviceFound, this, [this] {
        if (holding && !listTimer->isActive())
            listTimer->start();
    });
    connect(broadcaster, &UDPBroadcaster::searchFinished, this, &WatchView::searchFinished);
    connect(broadcaster, &UDPBroadcaster::deviceChanged, this, [this](int index) {
        // Answers not shown yet are read as they are now.
        if (holding && index < shownAnswers)
            rows.recordChanged(this->broadcaster->device(index));
    });
}

bool WatchView::isWatching() const
{
    return watchAction->isChecked();
}

void WatchView::setPause(int milliseconds)
{
    pauseTimer->setInterval(milliseconds);
}

void WatchView::setWatching(bool on)
{
    if (on) {
        takeTable();
        if (!broadcaster->isReceiving())
            pauseTimer->start();
    } else {
        // The rows stay as they are; the next Refresh hands the table back.
        pauseTimer->stop();
    }
    emit statusChanged();
}

void WatchView::takeTable()
{
    if (holding)
        return;
    emit takingTable();
    holding = true;
    startingOver = broadcaster->isReceiving();
    // The devices of the latest search are the watch's start, not news.
    shownAnswers = 0;
    listAnswers();
}

WatchView::Refresh WatchView::refresh()
{
    if (!holding)
        return Refresh::LeftToWindow;
    pauseTimer->stop();
    listTimer->stop();
    rows.clear();
    startingOver = true;
    if (!isWatching()) {
        holding = false;
        return Refresh::LeftToWindow;
    }
    search();
    return Refresh::Searched;
}

void WatchView::startRound()
{
    // The sweep of other networks goes on: a new search would ask every address anew.
    if (broadcaster->isSendingRanges()) {
        pauseTimer->start();
        return;
    }
    search();
}

void WatchView::search()
{
    rows.searchStarted();
    shownAnswers = 0;
    roundStarted = QDateTime::currentDateTime();
    broadcaster->sendBroadcast();
    emit statusChanged();
}

void WatchView::listAnswers()
{
    if (!holding)
        return;
    // The devices of the search the rows began with are the watch's start, not news.
    const WatchRows::Newness newness =
        isWatching() && !startingOver ? WatchRows::Newness::Marked : WatchRows::Newness::Unmarked;
    QVector<DeviceRecord> answers;
    for (; shownAnswers < broadcaster->deviceCount(); ++shownAnswers)
        answers.append(broadcaster->device(shownAnswers));
    const QVector<int> back = rows.answered(answers.constData(), int(answers.size()),
                                            QDateTime::currentDateTime(), newness);
    for (int index : back)
        rows.highlight(index);
    if (!back.isEmpty()) {
        highlightTimer->start();
        if (!window->isActiveWindow())
            QApplication::alert(window);
    }
    emit statusChanged();
}

void WatchView::searchFinished()
{
    if (!holding)
        return;
    listAnswers();
    rows.searchEnded();
    startingOver = false;
    lastSearch = roundStarted.isValid() ? roundStarted : QDateTime::currentDateTime();
    if (isWatching())
        pauseTimer->start();
    emit statusChanged();
}

QString WatchView::statusLine() const
{
    return rows.rows().statusLine(isWatching() ? WatchRows::Watching::On : WatchRows::Watching::Off,
                                  lastSearch);
}

void WatchView::chooseList()
{
    auto *dialog = new QFileDialog(window, tr("Compare with a list"), QString(),
                                   tr("Lists of devices (*.csv *.json *.jsonl);;All files (*)"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    connect(dialog, &QFileDialog::finished, dialog, &QObject::deleteLater);
    connect(dialog, &QFileDialog::fileSelected, this, &WatchView::compareWithFile);
    dialog->open();
}

void WatchView::compareWithFile(const QString &path)
{
    QFile file(path);
    QVector<ListedDevice> list;
    DeviceListError error;
    QString reason;
    if (!file.open(QIODevice::ReadOnly))
        reason = file.errorString();
    else if (!readDeviceList(file.readAll(), &list, &error))
        reason = error.text();
    if (!reason.isEmpty()) {
        auto *box = new QMessageBox(
            QMessageBox::Warning, tr("Compare with a list"),
            tr("%1 is not a list of devices: %2").arg(QDir::toNativeSeparators(path), reason),
            QMessageBox::Close, window);
        box->setObjectName(QStringLiteral("listRefused"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return;
    }
    takeTable();
    rows.compareWith(list);
    emit statusChanged();
}
