#include "historystore.h"
#include "settingsfile.h"
#include "temporaryconfig.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

const QString key = HistoryStore::standardKey();
const QByteArray id = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";
const QByteArray good = "{\"id\":\"" + id + "\",\"sourceText\":\"a\",\"translatedText\":\"b\",\"engineName\":\"LLM\",\"date\":1.5}";

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
    void cleanup() { m_config.reset(); }

    void encodesTheExactBytesAndReadsThemBackIdentically()
    {
        const QList<HistoryEntry> entries{
            {QUuid::fromString(QString::fromLatin1(id).toLower()), u"a/b \"q\" \\ 中文\n"_qs, u"</x>"_qs, u"系统离线"_qs, 786297600.25},
            {QUuid::fromString(u"00000000-0000-4000-8000-000000000001"_qs), u"x"_qs, u"译文"_qs, u"LLM"_qs, 0.1 + 0.2},
            {QUuid::createUuid(), u"now"_qs, {}, u"LLM"_qs, HistoryEntry::now()},
        };
        const QByteArray json = HistoryEntry::encodeList(entries);
        QCOMPARE(json.left(json.lastIndexOf(",{")),
                 u"[{\"id\":\"E621E1F8-C36C-495A-93FC-0C247A3E6E5F\",\"sourceText\":\"a\\/b \\\"q\\\" \\\\ 中文\\n\","
                 u"\"translatedText\":\"<\\/x>\",\"engineName\":\"系统离线\",\"date\":786297600.25},"
                 u"{\"id\":\"00000000-0000-4000-8000-000000000001\",\"sourceText\":\"x\",\"translatedText\":\"译文\","
                 u"\"engineName\":\"LLM\",\"date\":0.30000000000000004}"_qs.toUtf8());
        QCOMPARE(HistoryEntry::decodeList(json).value_or(QList<HistoryEntry>()), entries);
        QCOMPARE(HistoryEntry::encodeList({}), QByteArray("[]"));
    }

    void decodingIsAllOrNothing_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<double>("date"); // 0: rejected
        QTest::newRow("integer date") << with("1.5", "42") << 42.0;
        QTest::newRow("lower-case id") << with(id, id.toLower()) << 1.5;
        QTest::newRow("unknown member, blanks") << ("[ \n" + QByteArray(good).replace("}", ",\"pinned\":1}") + " ]") << 1.5;
        QTest::newRow("other member order")
            << QByteArray("[{\"date\":1.5e0,\"engineName\":\"LLM\",\"translatedText\":\"b\",\"sourceText\":\"a\",\"id\":\"" + id + "\"}]") << 1.5;
        QTest::newRow("not JSON") << QByteArray("not json") << 0.0;
        QTest::newRow("empty") << QByteArray() << 0.0;
        QTest::newRow("object, not array") << good << 0.0;
        QTest::newRow("truncated") << ("[" + good + "," + good.left(30)) << 0.0;
        QTest::newRow("one entry lacks engineName") << ("[" + good + "," + with("\"engineName\":\"LLM\",", "").mid(1)) << 0.0;
        QTest::newRow("date as string") << with("1.5", "\"1.5\"") << 0.0;
        QTest::newRow("id with braces") << with(id, "{" + id + "}") << 0.0;
        QTest::newRow("id not hex") << with("E621", "G621") << 0.0;
        QTest::newRow("id as number") << with("\"" + id + "\"", "12") << 0.0;
        QTest::newRow("element not object") << ("[" + good + ",1]") << 0.0;
        QTest::newRow("invalid UTF-8") << with("\"a\"", "\"\xff\xfe\"") << 0.0;
    }

    void decodingIsAllOrNothing()
    {
        QFETCH(QByteArray, json);
        QFETCH(double, date);
        const auto decoded = HistoryEntry::decodeList(json);
        QCOMPARE(decoded ? int(decoded->size()) : -1, date ? 1 : -1);
        if (decoded) {
            const HistoryEntry expected{QUuid::fromString(QString::fromLatin1(id)), u"a"_qs, u"b"_qs, u"LLM"_qs, date};
            QCOMPARE(decoded->first(), expected);
        }
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
        QTest::newRow("60 stored load whole, 1 added") << 60 << QStringList{u"new"_qs} << QStringList{u"new"_qs, u"s48"_qs} << 50;
        QTest::newRow("same text twice: two entries") << 0 << QStringList{u" a "_qs, u" a "_qs} << QStringList{u" a "_qs, u" a "_qs} << 2;
    }

    void keepsTheNewestFiftyFirstAndSavesEachTime()
    {
        QFETCH(int, stored);
        QFETCH(QStringList, added);
        QList<HistoryEntry> before;
        for (int i = 0; i < stored; ++i)
            before.append({QUuid::createUuid(), u"s"_qs + QString::number(i), u"t"_qs, u"LLM"_qs, double(i)});
        m_config->defaults().setData(key, HistoryEntry::encodeList(before));

        HistoryStore store(key, m_config->defaults());
        QCOMPARE(store.entries(), before);
        QSignalSpy changed(&store, &HistoryStore::entriesChanged);
        for (const QString &source : added)
            store.add(source, u"译"_qs, u"LLM"_qs);
        QCOMPARE(changed.count(), added.size());
        QTEST(int(store.entries().size()), "count");
        QTEST((QStringList{store.entries().first().sourceText, store.entries().last().sourceText}), "firstAndLast");
        QVERIFY(store.entries().first().id != store.entries().at(1).id);
        // On disk at once, as a byte value with the solidus escaped inside, for the next run.
        QVERIFY(m_config->fileContents().contains("=\"@ByteArray([{\\\"id\\\":"));
        m_config->restart();
        QCOMPARE(HistoryStore(key, m_config->defaults()).entries(), store.entries());
    }

    void unreadableValueIsKeptOnceBesideTheNewOne_data()
    {
        QTest::addColumn<bool>("asString");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QStringList>("kept");
        const QByteArray second = QByteArray(good).replace("\"a\"", "\"second\"").replace("E621", "0000");
        QTest::newRow("one bad entry among good ones") << false << ("[" + good + ",{\"id\":1}," + second + "]")
                                                       << QStringList{u"a"_qs, u"second"_qs};
        QTest::newRow("not JSON") << false << QByteArray("[{\"id\":") << QStringList();
        QTest::newRow("a string, not bytes") << true << QByteArray("[]") << QStringList();
    }

    void unreadableValueIsKeptOnceBesideTheNewOne()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QStringList, kept);
        SettingsFile &defaults = m_config->defaults();
        const QString sideKey = key + u".unreadable"_qs;
        QFETCH(bool, asString);
        if (asString)
            defaults.setString(key, QString::fromUtf8(stored));
        else
            defaults.setData(key, stored);

        HistoryStore store(key, defaults);
        QCOMPARE(sources(store.entries()), kept);
        QVERIFY(!defaults.contains(sideKey)); // loading never writes
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"history did not decode"_qs));
        store.add(u"new"_qs, u"新"_qs, u"LLM"_qs);
        QCOMPARE(defaults.data(sideKey), stored);
        // Kept once: later writes replace a readable value and leave the side key alone.
        defaults.setData(sideKey, "earlier");
        store.add(u"newer path/to"_qs, u"更新"_qs, u"LLM"_qs);
        QCOMPARE(defaults.data(sideKey), QByteArray("earlier"));
        QCOMPARE(sources(*HistoryEntry::decodeList(*defaults.data(key))), QStringList({u"newer path/to"_qs, u"new"_qs}) + kept);
    }
};

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
