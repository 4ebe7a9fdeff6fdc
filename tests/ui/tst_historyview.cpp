#include "historylistmodel.h"
#include "historyrowdelegate.h"
#include "historystore.h"
#include "historyview.h"
#include "temporaryconfig.h"
#include "button.h"
#include "settingsfile.h"

#include <QAbstractItemModelTester>
#include <QListView>
#include <QLocale>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace Widgets;

class TestHistoryView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    // --- the list model
    void modelFollowsTheStoreConsistently();
    void fiftyRowsOverflowAndScroll();
    void secondLineIsEngineAndLocalDate();

    // --- the view
    void clearButtonFollowsAndEmptiesTheStoreForGood();
    void escapeAndBackButtonClose_data();
    void escapeAndBackButtonClose();
    void clickingARowSelectsItsEntry();

    // --- the row
    void splitWidth_data();
    void splitWidth();

private:
    std::unique_ptr<TemporaryConfig> m_config;
    std::unique_ptr<SettingsFile> m_defaults;
    std::unique_ptr<HistoryStore> m_store;
};

void TestHistoryView::init()
{
    m_config = std::make_unique<TemporaryConfig>();
    m_defaults = m_config->reopen();
    m_store = std::make_unique<HistoryStore>(HistoryStore::standardKey(), *m_defaults);
}

void TestHistoryView::cleanup()
{
    m_store.reset();
    m_defaults.reset();
    m_config.reset();
}

void TestHistoryView::modelFollowsTheStoreConsistently()
{
    HistoryListModel model(*m_store);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_store->add(QStringLiteral("one"), QStringLiteral("一"), QStringLiteral("LLM"));
    m_store->add(QStringLiteral("two"), QStringLiteral("二"), QStringLiteral("LLM"));
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.index(0).data(HistoryListModel::SourceTextRole).toString(), QStringLiteral("two"));
    m_store->clear();
    QCOMPARE(model.rowCount(), 0);
    m_store->add(QStringLiteral("three"), QStringLiteral("三"), QStringLiteral("系统离线"));
    QCOMPARE(model.index(0).data(HistoryListModel::TranslatedTextRole).toString(), QStringLiteral("三"));
}

void TestHistoryView::fiftyRowsOverflowAndScroll()
{
    for (int i = 0; i < 55; ++i)
        m_store->add(QStringLiteral("source %1").arg(i), QStringLiteral("译文 %1").arg(i), QStringLiteral("LLM"));
    HistoryView view(*m_store);
    HistoryListModel *model = view.model();
    QCOMPARE(model->rowCount(), 50);
    QCOMPARE(model->entry(3), m_store->entries().at(3));
    // Rows are one fixed height, so 50 of them overflow the panel and scroll.
    view.resize(340, 430);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(view.listView()->verticalScrollBar()->maximum() > 0);
}

void TestHistoryView::secondLineIsEngineAndLocalDate()
{
    m_store->add(QStringLiteral("你好"), QStringLiteral("Hello"), QStringLiteral("系统离线"));
    HistoryListModel model(*m_store);
    const HistoryEntry entry = m_store->entries().first();
    const QDateTime local = entry.dateTime().toLocalTime();
    const QString date = QLocale().toString(local.date(), QLocale::ShortFormat) + QLatin1Char(' ')
                         + QLocale().toString(local.time(), QLocale::ShortFormat);
    QCOMPARE(model.index(0).data(HistoryListModel::DetailRole).toString(),
             QStringLiteral("系统离线") + QStringLiteral(" \u00B7 ") + date);
}

void TestHistoryView::clearButtonFollowsAndEmptiesTheStoreForGood()
{
    HistoryView view(*m_store);
    auto *clear = view.findChild<Button *>(QStringLiteral("clearButton"));
    QVERIFY(view.isShowingEmptyState());
    QVERIFY(!clear->isEnabled());
    m_store->add(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("LLM"));
    QVERIFY(!view.isShowingEmptyState());
    QVERIFY(clear->isEnabled());

    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QTest::mouseClick(clear, Qt::LeftButton);
    QVERIFY(m_store->entries().isEmpty());
    QVERIFY(view.isShowingEmptyState());
    QVERIFY(!clear->isEnabled());
    // The next run of the program finds the history empty.
    auto reopened = m_config->reopen();
    QVERIFY(HistoryStore(HistoryStore::standardKey(), *reopened).entries().isEmpty());
    QCOMPARE(reopened->data(HistoryStore::standardKey()), QByteArray("[]"));
}

void TestHistoryView::escapeAndBackButtonClose_data()
{
    QTest::addColumn<bool>("useEscape");
    QTest::newRow("Escape") << true;
    QTest::newRow("back button") << false;
}

void TestHistoryView::escapeAndBackButtonClose()
{
    QFETCH(bool, useEscape);
    m_store->add(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("LLM"));
    HistoryView view(*m_store);
    QSignalSpy closed(&view, &HistoryView::closeRequested);
    QSignalSpy selected(&view, &HistoryView::entrySelected);
    view.show();
    QVERIFY(QTest::qWaitForWindowActive(&view));
    if (useEscape) {
        view.setFocus();
        QTest::keyClick(&view, Qt::Key_Escape);
    } else {
        auto *back = view.findChild<QAbstractButton *>(QStringLiteral("backButton"));
        QTest::mouseClick(back, Qt::LeftButton);
    }
    QCOMPARE(closed.count(), 1);
    QCOMPARE(selected.count(), 0);
    QCOMPARE(m_store->entries().size(), 1);
}

void TestHistoryView::clickingARowSelectsItsEntry()
{
    for (int i = 0; i < 3; ++i)
        m_store->add(QStringLiteral("s%1").arg(i), QStringLiteral("t%1").arg(i), QStringLiteral("LLM"));
    HistoryView view(*m_store);
    QSignalSpy selected(&view, &HistoryView::entrySelected);
    view.resize(340, 430);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QListView *list = view.listView();
    const QRect row = list->visualRect(view.model()->index(1));
    // Near the row's right end, away from the texts: the whole row is the button.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(row.right() - 12, row.center().y()));
    QCOMPARE(selected.count(), 1);
    QCOMPARE(selected.first().first().value<HistoryEntry>(), m_store->entries().at(1));
    QCOMPARE(m_store->entries().size(), 3);
}

void TestHistoryView::splitWidth_data()
{
    QTest::addColumn<qreal>("available");
    QTest::addColumn<qreal>("source");
    QTest::addColumn<qreal>("translation");
    QTest::addColumn<qreal>("sourceShown");
    QTest::addColumn<qreal>("translationShown");
    QTest::newRow("both fit") << qreal(200) << qreal(50) << qreal(60) << qreal(50) << qreal(60);
    QTest::newRow("long translation") << qreal(200) << qreal(50) << qreal(400) << qreal(50) << qreal(150);
    QTest::newRow("long source") << qreal(200) << qreal(300) << qreal(40) << qreal(160) << qreal(40);
    QTest::newRow("both long") << qreal(200) << qreal(300) << qreal(400) << qreal(100) << qreal(100);
}

void TestHistoryView::splitWidth()
{
    QFETCH(qreal, available);
    QFETCH(qreal, source);
    QFETCH(qreal, translation);
    QFETCH(qreal, sourceShown);
    QFETCH(qreal, translationShown);
    const auto [a, b] = HistoryRowDelegate::splitWidth(available, source, translation);
    QCOMPARE(a, sourceShown);
    QCOMPARE(b, translationShown);
}

QTEST_MAIN(TestHistoryView)
#include "tst_historyview.moc"
