#include "releasegradually.h"

#include <deque>
#include <QTest>
#include <type_traits>

namespace {

// Counts the live copies of itself, so a test sees when elements are destroyed.
struct Counted
{
    static int alive;
    int id = 0;

    explicit Counted(int id = 0)
        : id(id)
    {
        ++alive;
    }
    Counted(const Counted &other)
        : id(other.id)
    {
        ++alive;
    }
    Counted &operator=(const Counted &other) = default;
    ~Counted() { --alive; }
    bool operator==(const Counted &other) const { return id == other.id; }
};

int Counted::alive = 0;

size_t qHash(const Counted &counted, size_t seed = 0)
{
    return ::qHash(counted.id, seed);
}

template<typename Container> Container filled(int count)
{
    Container container;
    for (int i = 0; i < count; ++i) {
        if constexpr (std::is_same_v<Container, QSet<Counted>>)
            container.insert(Counted(i));
        else
            container.push_back(Counted(i));
    }
    return container;
}

constexpr int slice = GradualRelease::sliceSize;

} // namespace

class TestReleaseGradually : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void smallContainerGoesAtOnce();
    void largeContainerGoesSliceBySlice();
    void largeContainerGoesSliceBySlice_data();
    void restGoesWithTheContext();
};

void TestReleaseGradually::cleanup()
{
    QCOMPARE(Counted::alive, 0);
}

void TestReleaseGradually::smallContainerGoesAtOnce()
{
    QObject context;
    auto list = filled<QList<Counted>>(slice);
    releaseGradually(list, &context);
    QVERIFY(list.isEmpty());
    QCOMPARE(Counted::alive, 0);
}

void TestReleaseGradually::largeContainerGoesSliceBySlice_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("QList") << 0;
    QTest::newRow("std::deque") << 1;
    QTest::newRow("QSet") << 2;
}

void TestReleaseGradually::largeContainerGoesSliceBySlice()
{
    QFETCH(int, kind);
    const int count = 3 * slice + 5;
    QObject context;
    // The container is empty at once, and usable again; its elements go one slice per pass.
    if (kind == 0) {
        auto list = filled<QList<Counted>>(count);
        releaseGradually(list, &context);
        QVERIFY(list.isEmpty());
        list.append(Counted(-1));
        QCOMPARE(Counted::alive, count - slice + 1);
        list.clear();
    } else if (kind == 1) {
        auto deque = filled<std::deque<Counted>>(count);
        releaseGradually(deque, &context);
        QVERIFY(deque.empty());
    } else {
        auto set = filled<QSet<Counted>>(count);
        releaseGradually(set, &context);
        QVERIFY(set.isEmpty());
        QVERIFY(!set.contains(Counted(0)));
    }
    QCOMPARE(Counted::alive, count - slice);
    QCoreApplication::processEvents();
    QCOMPARE(Counted::alive, count - 2 * slice);
    QTRY_COMPARE(Counted::alive, 0);
}

void TestReleaseGradually::restGoesWithTheContext()
{
    auto context = std::make_unique<QObject>();
    auto vector = filled<QVector<Counted>>(4 * slice);
    releaseGradually(vector, context.get());
    QVERIFY(Counted::alive > 0);
    context.reset();
    QCOMPARE(Counted::alive, 0);
}

QTEST_GUILESS_MAIN(TestReleaseGradually)
#include "tst_releasegradually.moc"
