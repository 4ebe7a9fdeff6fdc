#include "historylistmodel.h"
#include "historystore.h"
#include "historyview.h"
#include "temporaryconfig.h"
#include "button.h"
#include "widgetlookup.h"

#include <QAbstractItemModelTester>
#include <QListView>
#include <QLocale>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace Widgets;

// A private history of `count` entries, and its list in a window of the panel's size.
struct History {
    TemporaryConfig config;
    HistoryStore store{HistoryStore::standardKey(), config.defaults()};
    HistoryView view{store};

    explicit History(int count)
    {
        for (int i = 0; i < count; ++i)
            store.add(u"s%1"_qs.arg(i), u"t%1"_qs.arg(i), i % 2 ? u"LLM"_qs : u"系统离线"_qs);
        view.resize(340, 430);
        view.show();
        view.activateWindow();
    }
    QString row(int index, int role) const { return view.model()->index(index).data(role).toString(); }
};

class TestHistoryView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newestFirstFiftyAtMostUntilCleared();
    void clickAnywhereOnARowSelectsIt();
};

void TestHistoryView::newestFirstFiftyAtMostUntilCleared()
{
    History h(1);
    QAbstractItemModelTester tester(h.view.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    const QDateTime at = h.store.entries().first().dateTime().toLocalTime();
    QCOMPARE(h.row(0, HistoryListModel::DetailRole), u"系统离线 · "_qs + QLocale().toString(at.date(), QLocale::ShortFormat)
                                                         + u' ' + QLocale().toString(at.time(), QLocale::ShortFormat));
    for (int i = 1; i < 55; ++i)
        h.store.add(u"s%1"_qs.arg(i), u"t%1"_qs.arg(i), u"LLM"_qs);
    QCOMPARE(h.view.model()->rowCount(), 50);
    QCOMPARE(h.row(0, HistoryListModel::SourceTextRole), u"s54"_qs);
    QCOMPARE(h.row(49, HistoryListModel::TranslatedTextRole), u"t5"_qs);
    QVERIFY(QTest::qWaitForWindowExposed(&h.view));
    QVERIFY(h.view.listView()->verticalScrollBar()->maximum() > 0);
    auto *clear = part<Button>(&h.view, u"clearButton"_qs);
    QTest::mouseClick(clear, Qt::LeftButton);
    QVERIFY(h.store.entries().isEmpty());
    QVERIFY(h.view.isShowingEmptyState() && !clear->isEnabled());
}

void TestHistoryView::clickAnywhereOnARowSelectsIt()
{
    History h(3);
    QSignalSpy selected(&h.view, &HistoryView::entrySelected);
    QSignalSpy closed(&h.view, &HistoryView::closeRequested);
    QVERIFY(QTest::qWaitForWindowExposed(&h.view));
    const QRect row = h.view.listView()->visualRect(h.view.model()->index(1));
    // Near the row's end, away from the texts.
    QTest::mouseClick(h.view.listView()->viewport(), Qt::LeftButton, {}, QPoint(row.right() - 12, row.center().y()));
    QCOMPARE(selected.count(), 1);
    QCOMPARE(selected.first().first().value<HistoryEntry>(), h.store.entries().at(1));
    QTest::mouseClick(part<QAbstractButton>(&h.view, u"backButton"_qs), Qt::LeftButton);
    QCOMPARE(closed.count(), 1);
    QCOMPARE(selected.count(), 1);
}

QTEST_MAIN(TestHistoryView)
#include "tst_historyview.moc"

