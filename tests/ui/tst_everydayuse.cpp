#include "listsaver.h"
#include "loopbackdevice.h"
#include "mainwindow.h"
#include "urlcatcher.h"
#include "windowparts.h"

#include <csignal>
#include <functional>
#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDate>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <QUrl>

#ifndef Q_OS_WIN
#include <sys/resource.h>
#endif

namespace {

// Which language this run expects, taken from the environment the test was started with,
// not from the code under test.
bool expectPolish()
{
    return qEnvironmentVariable("LC_ALL").startsWith(QLatin1String("pl"));
}

QString text(bool polish, const char *polishText, const char *englishText)
{
    return QString::fromUtf8(polish ? polishText : englishText);
}

// The text the window shows for a serial the device sent as these bytes: each byte widened
// as a signed 8-bit value.
QString shown(const QByteArray &bytes)
{
    QString result;
    for (const char byte : bytes)
        result += QChar(ushort(short(static_cast<signed char>(byte))));
    return result;
}

int rowOf(QTableWidget *table, const QString &serial)
{
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->item(row, 0) && table->item(row, 0)->text() == serial)
            return row;
    }
    return -1;
}

void clickHeader(QTableWidget *table, int column)
{
    QHeaderView *header = table->horizontalHeader();
    const QPoint centre(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
}

// A right click as the window system delivers it: the press selects, the menu event follows.
void rightClick(QTableWidget *table, const QPoint &position)
{
    QTest::mousePress(table->viewport(), Qt::RightButton, {}, position);
    QTest::mouseRelease(table->viewport(), Qt::RightButton, {}, position);
    QContextMenuEvent event(QContextMenuEvent::Mouse, position,
                            table->viewport()->mapToGlobal(position));
    QApplication::sendEvent(table->viewport(), &event);
}

// The open context menu's entries, "-" for a separator.
QStringList openMenuEntries()
{
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QStringList entries;
    if (!menu)
        return entries;
    for (QAction *action : menu->actions())
        entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return entries;
}

QAction *openMenuAction(const QString &text)
{
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    if (!menu)
        return nullptr;
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

int visibleMenus()
{
    int count = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        count += qobject_cast<QMenu *>(widget) && widget->isVisible() ? 1 : 0;
    return count;
}

// Hands the next modal dialog to look once it is shown; look must close it.
void whenModalShown(QObject *context, const std::function<void(QWidget *)> &look)
{
    auto *poll = new QTimer(context);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, look] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        poll->deleteLater();
        poll->stop();
        look(modal);
    });
    poll->start(10);
}

// Lets the environment variable name be value until the end of the scope.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char *name, const QByteArray &value)
        : name(name)
        , old(qgetenv(name))
        , wasSet(qEnvironmentVariableIsSet(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnvironment()
    {
        if (wasSet)
            qputenv(name, old);
        else
            qunsetenv(name);
    }

private:
    const char *name;
    QByteArray old;
    bool wasSet;
};

void closeMenu()
{
    if (QWidget *popup = QApplication::activePopupWidget())
        popup->close();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

} // namespace

// Saving with the dialog and the message box replaced: the test names the file, and collects
// the messages.
class TestedSaver : public ListSaver
{
public:
    using ListSaver::ListSaver;
    QString answerPath;
    QStringList suggestedPaths;
    QStringList errors;
    QStringList replaceQuestions;
    bool replace = false;

protected:
    QString askSavePath(const QString &suggestedPath) override
    {
        suggestedPaths << suggestedPath;
        return answerPath;
    }
    void showSaveError(const QString &message) override { errors << message; }
    bool confirmReplace(const QString &path) override
    {
        replaceQuestions << path;
        return replace;
    }
};

class TestedWindow : public MainWindow
{
public:
    TestedWindow()
        : saver(new TestedSaver(deviceTable(*this), this))
    {
        setListSaver(saver);
    }
    TestedSaver *const saver;
};

class TestEverydayUse : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void focusAndTabOrder();
    void contextMenuOnRowAndOnEmptySpace();
    void copyActionsFillTheClipboard();
    void keysOpenRefreshCopySave();
    void saveStartsInAFolderThatExistsAndAddsTheSuffix();
    void saveDialogSpeaksTheWindowsLanguage();
    void refusedAddressIsNamedAndCanBeCopied();
    void csvOfUnusualDevices();
    void failedSavesLeaveExistingFilesAlone();
    void statusLineThroughSearches();
    void marksOnLoopbackFollowSorting();

private:
    void showAndActivate(MainWindow &window);
    std::unique_ptr<QTemporaryDir> folder;
};

void TestEverydayUse::init()
{
    folder = std::make_unique<QTemporaryDir>();
    QVERIFY(folder->isValid());
    QGuiApplication::clipboard()->clear();
}

void TestEverydayUse::cleanup()
{
    closeMenu();
    folder.reset();
}

void TestEverydayUse::showAndActivate(MainWindow &window)
{
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

void TestEverydayUse::focusAndTabOrder()
{
    MainWindow window;
    showAndActivate(window);
    QTableWidget *table = deviceTable(window);
    QCOMPARE(QApplication::focusWidget(), table);

    answer("SN00000001", "127.0.0.5");
    QTRY_COMPARE(table->rowCount(), 1);
    table->selectRow(0);
    QVERIFY(connectButton(window)->isEnabled());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), refreshButton(window));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), connectButton(window));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), table);
}

void TestEverydayUse::contextMenuOnRowAndOnEmptySpace()
{
    const bool polish = expectPolish();
    MainWindow window;
    showAndActivate(window);
    QTableWidget *table = deviceTable(window);
    answer("SN00000001", "127.0.0.5");
    answer("SN00000002", "127.0.0.6");
    QTRY_COMPARE(table->rowCount(), 2);

    const QString save = text(polish, "Zapisz listę jako CSV...", "Save list as CSV...");
    const QString other = text(polish, "Przeszukaj inne sieci…", "Search other networks…");
    const QString watch = text(polish, "Obserwuj stale", "Keep watching");
    const QString compare = text(polish, "Porównaj z listą…", "Compare with a list…");
    rightClick(table, table->visualItemRect(table->item(1, 2)).center());
    QTRY_VERIFY(QApplication::activePopupWidget());
    QCOMPARE(openMenuEntries(),
             QStringList({text(polish, "Otwórz w przeglądarce", "Open in browser"),
                          text(polish, "Kopiuj adres IP", "Copy IP address"),
                          text(polish, "Kopiuj adres MAC", "Copy MAC address"),
                          text(polish, "Kopiuj numer seryjny", "Copy serial number"),
                          text(polish, "Kopiuj wiersz", "Copy row"), QStringLiteral("-"), save,
                          other, watch, compare}));
    // The clicked row is the one the menu acts on.
    QCOMPARE(table->selectedItems().constFirst()->row(), 1);
    closeMenu();
    QTRY_VERIFY(!QApplication::activePopupWidget());

    // Below the last row only saving and searching make sense.
    rightClick(table, QPoint(20, table->viewport()->height() - 5));
    QTRY_VERIFY(QApplication::activePopupWidget());
    QCOMPARE(openMenuEntries(), QStringList({save, other, watch, compare}));
    closeMenu();

    // The Menu key and Shift+F10 open one menu for the selected row. For the Menu key the
    // window system sends the key press, a context menu event of its own and the release; a
    // desktop may do that for Shift+F10 too.
    for (const Qt::KeyboardModifiers modifiers : {Qt::NoModifier, Qt::ShiftModifier}) {
        const Qt::Key key = modifiers == Qt::NoModifier ? Qt::Key_Menu : Qt::Key_F10;
        table->selectRow(0);
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        // Qt 6 closes every menu when the application turns inactive: the window system's
        // news of the last menu's going must be read before the next one opens.
        QCoreApplication::processEvents();
        table->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), table);
        QTest::keyPress(table, key, modifiers);
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(1, 1),
                                table->mapToGlobal(QPoint(1, 1)));
        QApplication::sendEvent(table, &event);
        QTest::keyRelease(QApplication::activePopupWidget(), key, modifiers);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QCOMPARE(openMenuEntries().size(), 10);
        QTest::qWait(50);
        QCOMPARE(visibleMenus(), 1);
        closeMenu();
        QTRY_COMPARE(visibleMenus(), 0);
    }
}

void TestEverydayUse::copyActionsFillTheClipboard()
{
    const bool polish = expectPolish();
    UrlCatcher browser;
    MainWindow window;
    showAndActivate(window);
    QTableWidget *table = deviceTable(window);
    answer("SN00000001", "127.0.0.5", "AA:00:00:00:00:01");
    answer("SN00000002", "127.0.0.6", "AA:00:00:00:00:02");
    QTRY_COMPARE(table->rowCount(), 2);
    clickHeader(table, 0);
    clickHeader(table, 0); // descending: the second device is now in row 0

    const auto chooseInMenu = [&](const char *polishText, const char *englishText) {
        rightClick(table, table->visualItemRect(table->item(0, 0)).center());
        QTRY_VERIFY(QApplication::activePopupWidget());
        QAction *action = openMenuAction(text(polish, polishText, englishText));
        QVERIFY(action);
        action->trigger();
        closeMenu();
    };
    QClipboard *clipboard = QGuiApplication::clipboard();
    chooseInMenu("Kopiuj adres IP", "Copy IP address");
    QCOMPARE(clipboard->text(), QStringLiteral("127.0.0.6"));
    chooseInMenu("Kopiuj adres MAC", "Copy MAC address");
    QCOMPARE(clipboard->text(), QStringLiteral("AA:00:00:00:00:02"));
    chooseInMenu("Kopiuj numer seryjny", "Copy serial number");
    QCOMPARE(clipboard->text(), QStringLiteral("SN00000002"));
    chooseInMenu("Kopiuj wiersz", "Copy row");
    QCOMPARE(clipboard->text(), QStringLiteral("SN00000002\t127.0.0.6\tAA:00:00:00:00:02"));
    chooseInMenu("Otwórz w przeglądarce", "Open in browser");
    QCOMPARE(browser.opened, QList<QUrl>({QUrl(QStringLiteral("http://127.0.0.6"))}));
}

void TestEverydayUse::keysOpenRefreshCopySave()
{
    UrlCatcher browser;
    TestedWindow window;
    showAndActivate(window);
    QTableWidget *table = deviceTable(window);
    answer("SN00000001", "127.0.0.5", "AA:00:00:00:00:01");
    answer("SN00000002", "127.0.0.6", "AA:00:00:00:00:02");
    QTRY_COMPARE(table->rowCount(), 2);

    // Without a selected row, Enter and Ctrl+C do nothing.
    QTest::keyClick(table, Qt::Key_Return);
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    QVERIFY(browser.opened.isEmpty());
    QVERIFY(QGuiApplication::clipboard()->text().isEmpty());

    table->selectRow(1);
    QTest::keyClick(table, Qt::Key_Return);
    QTest::keyClick(table, Qt::Key_Enter, Qt::KeypadModifier);
    const QUrl second(QStringLiteral("http://127.0.0.6"));
    QCOMPARE(browser.opened, QList<QUrl>({second, second}));
    // On a focused button Return presses that button.
    connectButton(window)->setFocus();
    QTest::keyClick(connectButton(window), Qt::Key_Return);
    QCOMPARE(browser.opened, QList<QUrl>({second, second, second}));
    table->setFocus();

    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("SN00000002\t127.0.0.6\tAA:00:00:00:00:02"));

    window.saver->answerPath = folder->filePath(QStringLiteral("list.csv"));
    QTest::keyClick(table, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(window.saver->suggestedPaths.size(), 1);
    QCOMPARE(QFileInfo(window.saver->suggestedPaths.constFirst()).fileName(),
             QStringLiteral("ostrel-devices-") + QDate::currentDate().toString(Qt::ISODate) +
                 QStringLiteral(".csv"));
    QVERIFY(window.saver->errors.isEmpty());
    QCOMPARE(readFile(window.saver->answerPath).count("\r\n"), 3);

    // A cancelled dialog writes nothing.
    window.saver->answerPath.clear();
    QTest::keyClick(table, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(window.saver->suggestedPaths.size(), 2);
    QVERIFY(window.saver->errors.isEmpty());

    QTest::keyClick(table, Qt::Key_F5);
    QCOMPARE(table->rowCount(), 0);
    answer("SN00000003", "127.0.0.7");
    QTRY_COMPARE(table->rowCount(), 1);
    QTest::keyClick(refreshButton(window), Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(table->rowCount(), 0);
    answer("SN00000004", "127.0.0.8");
    QTRY_COMPARE(table->rowCount(), 1);
    refreshButton(window)->setFocus();
    QTest::keyClick(refreshButton(window), Qt::Key_Return);
    QCOMPARE(table->rowCount(), 0);
}

void TestEverydayUse::saveStartsInAFolderThatExistsAndAddsTheSuffix()
{
    TestedWindow window;
    showAndActivate(window);
    QTableWidget *table = deviceTable(window);
    answer("SN00000001", "127.0.0.5");
    QTRY_COMPARE(table->rowCount(), 1);
    const QDir home(folder->path());
#ifdef Q_OS_WIN
    // Windows keeps the documents folder in the user's profile, named after the user, so any
    // letter may be in its path (the Windows tests run as a user with Polish letters).
    const QString startFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QVERIFY(QFileInfo(startFolder).isDir());
#else
    const ScopedEnvironment homeIs("HOME", QFile::encodeName(home.path()));
    const ScopedEnvironment noUserDirs("XDG_CONFIG_HOME",
                                       QFile::encodeName(home.filePath(QStringLiteral("cfg"))));
    // No documents folder: the dialog starts at home.
    const QString startFolder = home.path();
#endif

    // A name typed without suffix gets .csv.
    window.saver->answerPath = home.filePath(QStringLiteral("devices"));
    QTest::keyClick(table, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(window.saver->suggestedPaths.size(), 1);
    QCOMPARE(QFileInfo(window.saver->suggestedPaths.constLast()).path(), startFolder);
    QVERIFY(readFile(home.filePath(QStringLiteral("devices.csv"))).contains("SN00000001"));
    QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("devices"))));
    // The dialog asked about "devices", not about the file of that name with the suffix.
    QVERIFY(writeFile(home.filePath(QStringLiteral("devices.csv")), "kept"));
    QTest::keyClick(table, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(window.saver->replaceQuestions,
             QStringList{home.filePath(QStringLiteral("devices.csv"))});
    QCOMPARE(readFile(home.filePath(QStringLiteral("devices.csv"))), QByteArray("kept"));
    window.saver->replace = true;
    QTest::keyClick(table, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(readFile(home.filePath(QStringLiteral("devices.csv"))).contains("SN00000001"));

#ifdef Q_OS_WIN
    // Saved where the dialog starts: in the profile's own folder.
    const QString inDocuments =
        QDir(startFolder).filePath(QFileInfo(home.path()).fileName() + QStringLiteral(".csv"));
    window.saver->answerPath = inDocuments;
    QTest::keyClick(table, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(readFile(inDocuments).contains("SN00000001"));
    QVERIFY(QFile::remove(inDocuments));
#else
    QVERIFY(home.mkdir(QStringLiteral("Documents")));
    window.saver->answerPath = home.filePath(QStringLiteral("devices.txt"));
    QTest::keyClick(table, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(QFileInfo(window.saver->suggestedPaths.constLast()).path(),
             home.filePath(QStringLiteral("Documents")));
    QVERIFY(QFileInfo::exists(window.saver->answerPath));
#endif
    QVERIFY(window.saver->errors.isEmpty());
}

void TestEverydayUse::saveDialogSpeaksTheWindowsLanguage()
{
    const bool polish = expectPolish();
    MainWindow window;
    showAndActivate(window);
    QStringList buttons;
    QString suffix;
    whenModalShown(&window, [&](QWidget *modal) {
        if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            suffix = dialog->defaultSuffix();
            for (QAbstractButton *button : dialog->findChild<QDialogButtonBox *>()->buttons())
                buttons << button->text().remove(QLatin1Char('&'));
        }
        modal->close();
    });
    QTest::keyClick(deviceTable(window), Qt::Key_S, Qt::ControlModifier);
    buttons.sort();
    QCOMPARE(buttons, polish ? QStringList({QStringLiteral("Anuluj"), QStringLiteral("Zachowaj")})
                             : QStringList({QStringLiteral("Cancel"), QStringLiteral("Save")}));
    QCOMPARE(suffix, QStringLiteral("csv"));
}

void TestEverydayUse::refusedAddressIsNamedAndCanBeCopied()
{
    const bool polish = expectPolish();
    // Without a browser: no handler here, and no program that could start one.
    const ScopedEnvironment noPrograms("PATH", QByteArray());
    MainWindow window;
    showAndActivate(window);
    QTableWidget *table = deviceTable(window);
    answer("SN00000001", "127.0.0.5");
    QTRY_COMPARE(table->rowCount(), 1);
    table->selectRow(0);

    QString message;
    QStringList buttons;
    whenModalShown(&window, [&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box) {
            modal->close();
            return;
        }
        message = box->text();
        for (QAbstractButton *button : box->buttons())
            buttons << button->text();
        QAbstractButton *copy =
            box->buttons().value(buttons.indexOf(text(polish, "Kopiuj adres", "Copy address")));
        if (copy)
            copy->click();
        else
            box->close();
    });
    QTest::mouseClick(connectButton(window), Qt::LeftButton);
    QVERIFY2(message.contains(QLatin1String("http://127.0.0.5")), qPrintable(message));
    QCOMPARE(buttons.size(), 2);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("http://127.0.0.5"));
}

void TestEverydayUse::csvOfUnusualDevices()
{
    const bool polish = expectPolish();
    TestedWindow window;
    showAndActivate(window);
    QTableWidget *table = deviceTable(window);
    QByteArray high;
    for (int byte = 0x80; byte < 0x8a; ++byte)
        high += char(byte);
    QByteArray higher;
    for (int byte = 0xf6; byte <= 0xff; ++byte)
        higher += char(byte);
    answer("SN,000;001", "127.0.0.5");
    answer("SN\"quote\"1", "127.0.0.6");
    answer("SN\r\nbreak1", "127.0.0.7");
    answer("=1+2+3+4+5", "127.0.0.8", "-1:22:33:44:55:66");
    answer("@SUM(A1:A)", "127.0.0.9");
    answer(high, "127.0.0.10");
    answer(higher, "127.0.0.11");
    QTRY_COMPARE(table->rowCount(), 7);
    // The file follows the table's order: by IP, descending.
    clickHeader(table, 1);
    clickHeader(table, 1);

    window.saver->answerPath = folder->filePath(QStringLiteral("devices.csv"));
    QTest::keyClick(table, Qt::Key_S, Qt::ControlModifier);
    QVERIFY2(window.saver->errors.isEmpty(),
             qPrintable(window.saver->errors.join(QLatin1Char('\n'))));

    const char *mac = "00:11:22:33:44:55";
    QString expected;
    if (polish) {
        expected = QStringLiteral("Numer seryjny;IP;MAC\r\n") + shown(higher) +
                   QStringLiteral(";127.0.0.11;%1\r\n").arg(QLatin1String(mac)) + shown(high) +
                   QStringLiteral(";127.0.0.10;%1\r\n"
                                  "'@SUM(A1:A);127.0.0.9;%1\r\n"
                                  "'=1+2+3+4+5;127.0.0.8;'-1:22:33:44:55:66\r\n"
                                  "\"SN\r\nbreak1\";127.0.0.7;%1\r\n"
                                  "\"SN\"\"quote\"\"1\";127.0.0.6;%1\r\n"
                                  "\"SN,000;001\";127.0.0.5;%1\r\n")
                       .arg(QLatin1String(mac));
    } else {
        expected = QStringLiteral("Serial Number,IP,MAC\r\n") + shown(higher) +
                   QStringLiteral(",127.0.0.11,%1\r\n").arg(QLatin1String(mac)) + shown(high) +
                   QStringLiteral(",127.0.0.10,%1\r\n"
                                  "'@SUM(A1:A),127.0.0.9,%1\r\n"
                                  "'=1+2+3+4+5,127.0.0.8,'-1:22:33:44:55:66\r\n"
                                  "\"SN\r\nbreak1\",127.0.0.7,%1\r\n"
                                  "\"SN\"\"quote\"\"1\",127.0.0.6,%1\r\n"
                                  "\"SN,000;001\",127.0.0.5,%1\r\n")
                       .arg(QLatin1String(mac));
    }
    QCOMPARE(readFile(window.saver->answerPath), expected.toUtf8());
}

void TestEverydayUse::failedSavesLeaveExistingFilesAlone()
{
    const bool polish = expectPolish();
    TestedWindow window;
    showAndActivate(window);
    QTableWidget *table = deviceTable(window);
    answer("SN00000001", "127.0.0.5");
    QTRY_COMPARE(table->rowCount(), 1);
    const QDir dir(folder->path());
    const QStringList before{QStringLiteral("blocker"), QStringLiteral("devices.csv"),
                             QStringLiteral("folder.csv")};
    const QByteArray old("an earlier list, kept\r\n");
    QVERIFY(writeFile(dir.filePath(QStringLiteral("devices.csv")), old));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("blocker")), "a file, not a folder"));
    QVERIFY(dir.mkpath(QStringLiteral("folder.csv/inside")));
    const auto save = [&](const QString &path) {
        window.saver->errors.clear();
        window.saver->answerPath = path;
        QTest::keyClick(table, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(window.saver->errors.size(), 1);
        QVERIFY2(window.saver->errors.constFirst().contains(QDir::toNativeSeparators(path)),
                 qPrintable(window.saver->errors.constFirst()));
        QVERIFY2(window.saver->errors.constFirst().startsWith(
                     text(polish, "Nie udało się zapisać listy", "The list could not be saved")),
                 qPrintable(window.saver->errors.constFirst()));
    };

#ifndef Q_OS_WIN
    // Windows has no file size limit to fill the disk up with; the failures below remain.
    // The disk fills up halfway through (a file size limit does that even for root): the
    // earlier file stays as it was and nothing half-written is left beside it.
    struct rlimit original
    {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &original), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = original;
    small.rlim_cur = 30;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    save(dir.filePath(QStringLiteral("devices.csv")));
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &original), 0);
    std::signal(SIGXFSZ, oldHandler);
    QCOMPARE(readFile(dir.filePath(QStringLiteral("devices.csv"))), old);
    QCOMPARE(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
#endif

    // A folder that cannot hold files (it is a file), and a name taken by a folder.
    save(dir.filePath(QStringLiteral("blocker/devices.csv")));
    save(dir.filePath(QStringLiteral("folder.csv")));
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("folder.csv/inside"))).isDir());
    QCOMPARE(readFile(dir.filePath(QStringLiteral("blocker"))), QByteArray("a file, not a folder"));
    QCOMPARE(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);

    // The same file saves once the disk has room again.
    window.saver->errors.clear();
    window.saver->answerPath = dir.filePath(QStringLiteral("devices.csv"));
    QTest::keyClick(table, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(window.saver->errors.isEmpty());
    QVERIFY(readFile(window.saver->answerPath).contains("SN00000001"));
}

void TestEverydayUse::statusLineThroughSearches()
{
    const bool polish = expectPolish();
    MainWindow window;
    QTableWidget *table = deviceTable(window);
    QLabel *status = statusLine(window);
    QVERIFY(status);
    QCOMPARE(status->text(), text(polish, "Szukanie...", "Searching..."));
    // The text keeps 10 px from the logo, whose edge is the label's.
    const QImage image = status->grab().toImage();
    int firstInk = image.width();
    for (int x = 0; x < image.width() && firstInk == image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (image.pixel(x, y) != image.pixel(0, 0)) {
                firstInk = x;
                break;
            }
        }
    }
    QVERIFY2(firstInk >= 10 && firstInk < 20, qPrintable(QString::number(firstInk)));

    // Devices come in while the search's 5 s run; the count follows them.
    const struct
    {
        int total;
        const char *polish;
        const char *english;
    } steps[] = {
        {1, "Szukanie... znaleziono 1 urządzenie", "Searching... 1 device found"},
        {2, "Szukanie... znaleziono 2 urządzenia", "Searching... 2 devices found"},
        {5, "Szukanie... znaleziono 5 urządzeń", "Searching... 5 devices found"},
        {22, "Szukanie... znaleziono 22 urządzenia", "Searching... 22 devices found"},
    };
    int sent = 0;
    for (const auto &step : steps) {
        for (; sent < step.total; ++sent)
            answer("SN" + QByteArray::number(sent).rightJustified(8, '0'), "127.0.0.5");
        QTRY_COMPARE(table->rowCount(), step.total);
        QTRY_COMPARE(status->text(), text(polish, step.polish, step.english));
    }
    QTRY_COMPARE_WITH_TIMEOUT(status->text(),
                              text(polish, "Znaleziono 22 urządzenia", "22 devices found"), 7000);

    // A search that nobody answers names the cause it sees: here only loopback.
    QTest::mouseClick(refreshButton(window), Qt::LeftButton);
    QCOMPARE(status->text(), text(polish, "Szukanie...", "Searching..."));
    QTRY_COMPARE_WITH_TIMEOUT(
        status->text(), text(polish, "Brak połączenia z siecią", "No network connection"), 7000);
    QVERIFY(status->toolTip().contains(text(polish, "pętli zwrotnej", "loopback")));
    // An answer after the end is not listed, but the tooltip tells of it at once.
    answer("SN00000001", "127.0.0.5");
    QTRY_VERIFY(status->toolTip().contains(text(polish, "1 urządzenie odpowiedziało po zakończeniu",
                                                "1 device answered after the search")));
    QCOMPARE(table->rowCount(), 0);
    QTest::mouseClick(refreshButton(window), Qt::LeftButton);
    answer("SN00000001", "127.0.0.5");
    QTRY_COMPARE(table->rowCount(), 1);
    QVERIFY(status->toolTip().isEmpty());
}

void TestEverydayUse::marksOnLoopbackFollowSorting()
{
    const bool polish = expectPolish();
    MainWindow window;
    QTableWidget *table = deviceTable(window);
    // Two devices share 127.0.0.7; the third is alone on 127.0.0.5.
    answer("SNSHARED01", "127.0.0.7", "AA:00:00:00:00:03");
    answer("SNALONE001", "127.0.0.5", "AA:00:00:00:00:01");
    answer("SNSHARED02", "127.0.0.7", "AA:00:00:00:00:02");
    QTRY_COMPARE(table->rowCount(), 3);

    const QString answered = text(polish, "Urządzenie odpowiedziało przez lo (127.0.0.1/8)",
                                  "Answered on lo (127.0.0.1/8)");
    const auto check = [&]() {
        for (const char *serial : {"SNSHARED01", "SNSHARED02", "SNALONE001"}) {
            const int row = rowOf(table, QString::fromLatin1(serial));
            QVERIFY(row >= 0);
            const bool shared = QByteArray(serial).startsWith("SNSHARED");
            const QString tip = table->item(row, 1)->toolTip();
            QVERIFY2(tip.startsWith(answered), qPrintable(tip));
            QCOMPARE(tip.contains(QLatin1String("127.0.0.7")), shared);
            for (int column : {0, 2})
                QCOMPARE(table->item(row, column)->toolTip(), tip);
            QCOMPARE(!table->item(row, 1)->icon().isNull(), shared);
            QVERIFY(table->item(row, 0)->icon().isNull());
            QVERIFY(table->item(row, 2)->icon().isNull());
        }
    };
    check();
    for (int column : {0, 1, 2, 1, 0}) {
        clickHeader(table, column);
        check();
    }
    // The texts stay as they were: the mark is an icon and a tooltip only.
    const int shared = rowOf(table, QStringLiteral("SNSHARED02"));
    QCOMPARE(table->item(shared, 1)->text(), QStringLiteral("127.0.0.7"));

    // A new search starts without marks.
    QTest::mouseClick(refreshButton(window), Qt::LeftButton);
    answer("SNSHARED02", "127.0.0.7");
    QTRY_COMPARE(table->rowCount(), 1);
    QVERIFY(table->item(0, 1)->icon().isNull());
    QCOMPARE(table->item(0, 1)->toolTip(), answered);
}

QTEST_MAIN(TestEverydayUse)
#include "tst_everydayuse.moc"
