#include "storage/historystore.h"
#include "storage/settingsfile.h"
#include "temporaryconfig.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

const QString key = HistoryStore::standardKey();
const QByteArray id = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";
const QByteArray good = "{\"id\":\"" + id +
    "\",\"sourceText\":\"a\",\"translatedText\":\"b\",\"engineName\":\"LLM\",\"date\":1.5}";

QByteArray with(const QByteArray &from, const QByteArray &to)
{
    return "[" + QByteArray(good).replace(from, to) + "]";
}

QStringList sources(const QList<HistoryEntry> &entries)
{
    QStringList texts;
    for (const HistoryEntry &entry : entries)
        texts.append(entry.sourceText);
    return texts;
}

} // namespace

class TestHistoryStore : public QObject
{
    Q_OBJECT
    std::optional<TemporaryConfig> m_config;

private Q_SLOTS:
    void init()
    {
        QTest::failOnWarning(QRegularExpression(u".*"_qs));
        m_config.emplace();
    }

    void keepsTheNewestFiftyFirstAndSavesEachTime_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("firstAndLast");
        QTest::addColumn<int>("count");
        QStringList fiftyOne;
        for (int i = 1; i <= 51; ++i)
            fiftyOne.append(QString::number(i));
        QTest::newRow("51 added") << 0 << fiftyOne << QStringList{u"51"_qs, u"2"_qs} << 50;
        QTest::newRow("49 stored, 1 added") << 49 << QStringList{u"new"_qs} << QStringList{u"new"_qs, u"s48"_qs} << 50;
        QTest::newRow("same text twice: two entries")
            << 0 << QStringList{u" a "_qs, u" a "_qs} << QStringList{u" a "_qs, u" a "_qs} << 2;
        QTest::newRow("a URL") << 0 << QStringList{u"见 https://cn.bing.com/"_qs, u"b"_qs}
                               << QStringList{u"b"_qs, u"见 https://cn.bing.com/"_qs} << 2;
    }

    void keepsTheNewestFiftyFirstAndSavesEachTime()
    {
        QFETCH(int, stored);
        QFETCH(QStringList, added);
        QList<HistoryEntry> before;
        for (int i = 0; i < stored; ++i)
            before.append({QUuid::createUuid(), u"s"_qs + QString::number(i), u"t"_qs, u"LLM"_qs, double(i)});
        m_config->settingsFile().setData(key, HistoryEntry::encodeList(before));

        QList<HistoryEntry> kept;
        {
            HistoryStore store(key, m_config->settingsFile());
            QCOMPARE(store.entries(), before);
            QSignalSpy changed(&store, &HistoryStore::entriesChanged);
            for (const QString &source : added)
                store.add(source, u"译"_qs, u"LLM"_qs);
            QCOMPARE(changed.count(), added.size());
            QTEST(int(store.entries().size()), "count");
            QTEST((QStringList{store.entries().first().sourceText, store.entries().last().sourceText}), "firstAndLast");
            QVERIFY(store.entries().first().id != store.entries().at(1).id);
            kept = store.entries();
        } // quitting right after the additions: the latest list is written before the store is gone
        // As a byte value with the solidus escaped inside, for the next run.
        QVERIFY(m_config->fileContents().contains("=\"@ByteArray([{\\\"id\\\":"));
        QVERIFY(!QRegularExpression(uR"([^\\]/)"_qs).match(QString::fromUtf8(m_config->fileContents())).hasMatch());
        m_config->restart();
        QCOMPARE(HistoryStore(key, m_config->settingsFile()).entries(), kept);
    }

    void unreadableValueIsKeptOnceBesideTheNewOne_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QStringList>("loaded"); // source texts
        QTest::addColumn<bool>("complete");
        QTest::newRow("integer date") << with("1.5", "42") << QStringList{u"a"_qs} << true;
        QTest::newRow("lower-case id") << with(id, id.toLower()) << QStringList{u"a"_qs} << true;
        const QByteArray second = QByteArray(good).replace("\"a\"", "\"second\"").replace("E621", "0000");
        QTest::newRow("one bad entry among good ones")
            << ("[" + good + ",{\"id\":1}," + second + "]") << QStringList{u"a"_qs, u"second"_qs} << false;
        QTest::newRow("not JSON") << QByteArray("[{\"id\":") << QStringList() << false;
        QTest::newRow("a string, not bytes") << QByteArray() << QStringList() << false; // the string "[]"
    }

    // Entries that do not decode are dropped; the whole value as it was is
    // kept beside the new one with the first write, and never again, so that
    // hand edits or a newer version's format do not vanish.
    void unreadableValueIsKeptOnceBesideTheNewOne()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QStringList, loaded);
        QFETCH(bool, complete);
        SettingsFile &file = m_config->settingsFile();
        const QString sideKey = key + u".unreadable"_qs;
        if (stored.isEmpty())
            file.setString(key, u"[]"_qs);
        else
            file.setData(key, stored);

        HistoryStore store(key, file);
        QCOMPARE(sources(store.entries()), loaded);
        if (!complete)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"history did not decode"_qs));
        // The second list replaces the first while it waits; the copy must still be made.
        store.add(u"new"_qs, u"新"_qs, u"LLM"_qs);
        store.add(u"newer"_qs, u"新"_qs, u"LLM"_qs);
        store.flush();
        const QByteArray unreadable = stored.isEmpty() ? QByteArray("[]") : stored;
        QCOMPARE(file.data(sideKey), !complete ? std::optional(unreadable) : std::nullopt);
        file.setData(sideKey, "earlier");
        store.add(u"newest path/to"_qs, u"更新"_qs, u"LLM"_qs);
        store.flush();
        QCOMPARE(file.data(sideKey), QByteArray("earlier"));
        QCOMPARE(sources(*HistoryEntry::decodeList(*file.data(key))),
                 QStringList({u"newest path/to"_qs, u"newer"_qs, u"new"_qs}) + loaded);
    }
};

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
