#include "historystore.h"
#include "settingsfile.h"
#include "temporaryconfig.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

#include <cstring>

namespace {

const QString key = HistoryStore::standardKey();
const QByteArray id = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";

QByteArray storedEntry(const QByteArray &idMember = '"' + id + '"', const QByteArray &date = "1.5",
                       const QByteArray &extra = {})
{
    return "{\"id\":" + idMember + ",\"sourceText\":\"a\",\"translatedText\":\"b\",\"engineName\":\"LLM\",\"date\":" + date
        + extra + "}";
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

private Q_SLOTS:
    void init();
    void cleanup() { m_config.reset(); }
    void encodesTheExactBytes();
    void datesReadBackIdentically();
    void decodingIsAllOrNothing_data();
    void decodingIsAllOrNothing();
    void keepsTheNewestFiftyFirstAndSavesEachTime_data();
    void keepsTheNewestFiftyFirstAndSavesEachTime();
    void unreadableValueIsKeptOnceBesideTheNewOne_data();
    void unreadableValueIsKeptOnceBesideTheNewOne();
    void historySurvivesARestart();

private:
    std::optional<TemporaryConfig> m_config;
};

void TestHistoryStore::init()
{
    QTest::failOnWarning(QRegularExpression(u".*"_qs));
    m_config.emplace();
}

void TestHistoryStore::encodesTheExactBytes()
{
    const QList<HistoryEntry> entries{
        {QUuid::fromString(QString::fromLatin1(id).toLower()), u"a/b \"q\" \\ 中文\n"_qs, u"</x>"_qs, u"系统离线"_qs, 786297600.25},
        {QUuid::fromString(u"00000000-0000-4000-8000-000000000001"_qs), u"x"_qs, u"译文"_qs, u"LLM"_qs, -1.0},
    };
    QCOMPARE(HistoryEntry::encodeList(entries),
             QString(uR"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","sourceText":"a\/b \"q\" \\ 中文\n",)"
                     uR"("translatedText":"<\/x>","engineName":"系统离线","date":786297600.25},)"
                     uR"({"id":"00000000-0000-4000-8000-000000000001","sourceText":"x","translatedText":"译文",)"
                     uR"("engineName":"LLM","date":-1.0}])"_qs)
                 .toUtf8());
    QCOMPARE(HistoryEntry::encodeList({}), QByteArray("[]"));
}

void TestHistoryStore::datesReadBackIdentically()
{
    QList<HistoryEntry> entries{{QUuid::createUuid(), u"now"_qs, u"t"_qs, u"LLM"_qs, HistoryEntry::now()}};
    for (int i = 0; i < 200; ++i) {
        // Arbitrary bit patterns, not only "nice" doubles.
        const quint64 bits = QRandomGenerator::global()->generate64();
        double date = 0;
        std::memcpy(&date, &bits, sizeof date);
        entries.append({QUuid::createUuid(), u"s"_qs, u"t"_qs, u"LLM"_qs, std::isfinite(date) ? date : i / 3.0});
    }
    const auto decoded = HistoryEntry::decodeList(HistoryEntry::encodeList(entries));
    QVERIFY(decoded);
    for (qsizetype i = 0; i < entries.size(); ++i)
        QCOMPARE(decoded->at(i).date, entries.at(i).date);
    QCOMPARE(*decoded, entries);
}

void TestHistoryStore::decodingIsAllOrNothing_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<double>("date"); // 0: rejected

    const QByteArray good = storedEntry();
    QTest::newRow("integer date") << ("[" + storedEntry('"' + id + '"', "42") + "]") << 42.0;
    QTest::newRow("lower-case id") << ("[" + storedEntry('"' + id.toLower() + '"') + "]") << 1.5;
    QTest::newRow("unknown member, blanks") << ("[ \n" + storedEntry('"' + id + '"', "1.5", ",\"pinned\":1") + " ]") << 1.5;
    QTest::newRow("other member order") << QByteArray(R"([{"date":1.5e0,"engineName":"LLM","translatedText":"b",)"
                                                      R"("sourceText":"a","id":")" + id + "\"}]") << 1.5;
    QTest::newRow("not JSON") << QByteArray("not json") << 0.0;
    QTest::newRow("empty") << QByteArray() << 0.0;
    QTest::newRow("object, not array") << good << 0.0;
    QTest::newRow("truncated") << ("[" + good + "," + good.left(30)) << 0.0;
    QTest::newRow("one entry lacks engineName") << ("[" + good + "," + QByteArray(good).replace("\"engineName\":\"LLM\",", "") + "]") << 0.0;
    QTest::newRow("date as string") << ("[" + storedEntry('"' + id + '"', "\"1.5\"") + "]") << 0.0;
    QTest::newRow("id with braces") << ("[" + storedEntry("\"{" + id + "}\"") + "]") << 0.0;
    QTest::newRow("id not hex") << ("[" + storedEntry("\"G" + id.mid(1) + '"') + "]") << 0.0;
    QTest::newRow("id as number") << ("[" + storedEntry("12") + "]") << 0.0;
    QTest::newRow("element not object") << ("[" + good + ",1]") << 0.0;
    QTest::newRow("invalid UTF-8") << ("[" + QByteArray(good).replace("\"a\"", "\"\xff\xfe\"") + "]") << 0.0;
}

void TestHistoryStore::decodingIsAllOrNothing()
{
    QFETCH(QByteArray, json);
    QFETCH(double, date);
    const auto decoded = HistoryEntry::decodeList(json);
    QCOMPARE(bool(decoded), date != 0);
    if (decoded) {
        QCOMPARE(decoded->size(), 1);
        QCOMPARE(decoded->first().id, QUuid::fromString(QString::fromLatin1(id)));
        QCOMPARE(decoded->first().sourceText, u"a"_qs);
        QCOMPARE(decoded->first().date, date);
    }
}

void TestHistoryStore::keepsTheNewestFiftyFirstAndSavesEachTime_data()
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
    QTest::newRow("same text twice: two entries") << 0 << QStringList{u" same "_qs, u" same "_qs}
                                                  << QStringList{u" same "_qs, u" same "_qs} << 2;
}

void TestHistoryStore::keepsTheNewestFiftyFirstAndSavesEachTime()
{
    QFETCH(int, stored);
    QFETCH(QStringList, added);
    QList<HistoryEntry> before;
    for (int i = 0; i < stored; ++i)
        before.append({QUuid::createUuid(), u"s"_qs + QString::number(i), u"t"_qs, u"LLM"_qs, double(i)});
    if (stored)
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
    QCOMPARE(HistoryEntry::decodeList(m_config->reopen()->data(key).value_or("")).value_or(QList<HistoryEntry>()),
             store.entries());
}

void TestHistoryStore::unreadableValueIsKeptOnceBesideTheNewOne_data()
{
    QTest::addColumn<bool>("asString");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QStringList>("kept");

    const QByteArray second = storedEntry("\"00000000-0000-4000-8000-000000000002\"").replace("\"a\"", "\"second\"");
    QTest::newRow("one bad entry among good ones") << false << ("[" + storedEntry() + ",{\"id\":1}," + second + "]")
                                                   << QStringList{u"a"_qs, u"second"_qs};
    QTest::newRow("not JSON") << false << QByteArray("[{\"id\":") << QStringList();
    QTest::newRow("a string, not bytes") << true << QByteArray("[]") << QStringList();
}

void TestHistoryStore::unreadableValueIsKeptOnceBesideTheNewOne()
{
    QFETCH(bool, asString);
    QFETCH(QByteArray, stored);
    QFETCH(QStringList, kept);
    SettingsFile &defaults = m_config->defaults();
    const QString sideKey = key + u".unreadable"_qs;
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
    store.add(u"newer"_qs, u"更新"_qs, u"LLM"_qs);
    QCOMPARE(defaults.data(sideKey), QByteArray("earlier"));
    QCOMPARE(sources(*HistoryEntry::decodeList(*defaults.data(key))), QStringList({u"newer"_qs, u"new"_qs}) + kept);
}

void TestHistoryStore::historySurvivesARestart()
{
    QList<HistoryEntry> before;
    {
        HistoryStore store(key, m_config->defaults());
        store.add(u"path/to/file"_qs, u"路径/到/文件"_qs, u"LLM"_qs);
        store.add(u"second"_qs, u"第二"_qs, u"系统离线"_qs);
        before = store.entries();
    }
    m_config->restart();
    // Stored as a byte value in the INI file, with the solidus escaped inside.
    QVERIFY(m_config->fileContents().contains("@ByteArray("));
    QVERIFY(m_config->fileContents().contains("path\\\\/to"));
    QCOMPARE(HistoryStore(key, m_config->defaults()).entries(), before);
}

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
