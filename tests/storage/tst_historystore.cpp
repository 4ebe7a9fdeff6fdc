#include "historystore.h"
#include "temporaryconfig.h"
#include "settingsfile.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

#include <cstring>

namespace {

const QString key = HistoryStore::standardKey();

HistoryEntry entry(const char *uuid, const QString &source, double date)
{
    return {QUuid::fromString(QLatin1StringView(uuid)), source, u"译文"_qs, u"LLM"_qs, date};
}

QByteArray storedEntry(const char *id = "\"E621E1F8-C36C-495A-93FC-0C247A3E6E5F\"", const char *date = "1.5",
                       const char *extra = "")
{
    return QByteArray("{\"id\":") + id + ",\"sourceText\":\"a\",\"translatedText\":\"b\",\"engineName\":\"LLM\",\"date\":"
        + date + extra + "}";
}

} // namespace

class TestHistoryStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    // --- the stored document
    void encodesTheExactBytes();
    void datesReadBackIdentically();
    void decodingAcceptsWhatOtherWritersProduce_data();
    void decodingAcceptsWhatOtherWritersProduce();
    void decodingIsAllOrNothing_data();
    void decodingIsAllOrNothing();

    // --- the store
    void addKeepsTheNewestFiftyAndSavesEachTime();
    void longerStoredListLoadsWholeAndIsTrimmedOnAdd();
    void identicalTranslationsAreTwoEntries();
    void unreadableEntriesAreDroppedAndTheValueKeptOnce_data();
    void unreadableEntriesAreDroppedAndTheValueKeptOnce();
    void historySurvivesARestart();

private:
    std::unique_ptr<TemporaryConfig> m_config;
    std::unique_ptr<SettingsFile> m_defaults;
};

void TestHistoryStore::init()
{
    m_config = std::make_unique<TemporaryConfig>();
    m_defaults = m_config->reopen();
}

void TestHistoryStore::cleanup()
{
    m_defaults.reset();
    m_config.reset();
}

void TestHistoryStore::encodesTheExactBytes()
{
    const QList<HistoryEntry> entries{
        {QUuid::fromString(u"e621e1f8-c36c-495a-93fc-0c247a3e6e5f"_qs), u"a/b \"q\" \\ 中文\n"_qs, u"</x>"_qs,
         u"系统离线"_qs, 786297600.25},
        entry("00000000-0000-4000-8000-000000000001", u"x"_qs, -1.0),
    };
    const QByteArray expected = QByteArray(R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
                                           R"("sourceText":"a\/b \"q\" \\ )")
        + QStringLiteral("中文").toUtf8()
        + R"(\n","translatedText":"<\/x>","engineName":")" + QStringLiteral("系统离线").toUtf8()
        + R"(","date":786297600.25},{"id":"00000000-0000-4000-8000-000000000001","sourceText":"x",)"
          R"("translatedText":")"
        + QStringLiteral("译文").toUtf8() + R"(","engineName":"LLM","date":-1.0}])";
    QCOMPARE(HistoryEntry::encodeList(entries), expected);
    QCOMPARE(HistoryEntry::encodeList({}), QByteArray("[]"));
}

void TestHistoryStore::datesReadBackIdentically()
{
    QList<HistoryEntry> entries;
    auto *random = QRandomGenerator::global();
    for (int i = 0; i < 200; ++i) {
        double date = random->generateDouble() * 1e9;
        if (i % 3 == 0) {
            // Arbitrary bit patterns in a plausible range, not only "nice" doubles.
            quint64 bits = random->generate64();
            std::memcpy(&date, &bits, sizeof date);
            if (!std::isfinite(date))
                date = 1.0 / 3.0;
        }
        entries.append({QUuid::createUuid(), u"s/"_qs + QString::number(i), u"t"_qs, u"LLM"_qs, date});
    }
    entries.append({QUuid::createUuid(), u"now"_qs, u"t"_qs, u"LLM"_qs, HistoryEntry::now()});

    const auto decoded = HistoryEntry::decodeList(HistoryEntry::encodeList(entries));
    QVERIFY(decoded);
    QCOMPARE(decoded->size(), entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        QCOMPARE(decoded->at(i).date, entries.at(i).date);
        QVERIFY(decoded->at(i) == entries.at(i));
    }
}

void TestHistoryStore::decodingAcceptsWhatOtherWritersProduce_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<double>("date");

    QTest::newRow("integer date") << ("[" + storedEntry("\"E621E1F8-C36C-495A-93FC-0C247A3E6E5F\"", "42") + "]")
                                  << 42.0;
    QTest::newRow("lower-case id") << ("[" + storedEntry("\"e621e1f8-c36c-495a-93fc-0c247a3e6e5f\"") + "]") << 1.5;
    QTest::newRow("unknown member, whitespace")
        << ("[ \n" + storedEntry("\"E621E1F8-C36C-495A-93FC-0C247A3E6E5F\"", "1.5", ",\"pinned\":true") + " ]")
        << 1.5;
    QTest::newRow("other member order")
        << QByteArray(R"([{"date":1.5,"engineName":"LLM","translatedText":"b","sourceText":"a",)"
                      R"("id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F"}])")
        << 1.5;
    QTest::newRow("exponent date") << ("[" + storedEntry("\"E621E1F8-C36C-495A-93FC-0C247A3E6E5F\"", "1.5e0") + "]")
                                   << 1.5;
}

void TestHistoryStore::decodingAcceptsWhatOtherWritersProduce()
{
    QFETCH(QByteArray, json);
    QFETCH(double, date);
    const auto decoded = HistoryEntry::decodeList(json);
    QVERIFY(decoded);
    QCOMPARE(decoded->size(), 1);
    QCOMPARE(decoded->first().id, QUuid::fromString(u"E621E1F8-C36C-495A-93FC-0C247A3E6E5F"_qs));
    QCOMPARE(decoded->first().sourceText, u"a"_qs);
    QCOMPARE(decoded->first().date, date);
}

void TestHistoryStore::decodingIsAllOrNothing_data()
{
    QTest::addColumn<QByteArray>("json");

    const QByteArray good = storedEntry();
    QTest::newRow("not JSON") << QByteArray("not json");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("object, not array") << good;
    QTest::newRow("truncated") << ("[" + good + "," + good.left(30));
    QTest::newRow("one entry lacks engineName")
        << ("[" + good + R"(,{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","sourceText":"a",)"
                         R"("translatedText":"b","date":1}])");
    QTest::newRow("date as string") << ("[" + storedEntry("\"E621E1F8-C36C-495A-93FC-0C247A3E6E5F\"", "\"1.5\"") + "]");
    QTest::newRow("id with braces") << ("[" + storedEntry("\"{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}\"") + "]");
    QTest::newRow("id not hex") << ("[" + storedEntry("\"G621E1F8-C36C-495A-93FC-0C247A3E6E5F\"") + "]");
    QTest::newRow("id as number") << ("[" + storedEntry("12") + "]");
    QTest::newRow("element not object") << ("[" + good + ",1]");
    QTest::newRow("invalid UTF-8") << ("[" + storedEntry().replace("\"a\"", "\"\xff\xfe\"") + "]");
}

void TestHistoryStore::decodingIsAllOrNothing()
{
    QFETCH(QByteArray, json);
    QVERIFY(!HistoryEntry::decodeList(json));
}

void TestHistoryStore::addKeepsTheNewestFiftyAndSavesEachTime()
{
    HistoryStore store(key, *m_defaults);
    QSignalSpy changed(&store, &HistoryStore::entriesChanged);
    for (int i = 1; i <= 51; ++i)
        store.add(u"source %1"_qs.arg(i), u"target"_qs, u"LLM"_qs);

    QCOMPARE(changed.count(), 51);
    QCOMPARE(store.entries().size(), 50);
    QCOMPARE(store.entries().first().sourceText, u"source 51"_qs);
    QCOMPARE(store.entries().last().sourceText, u"source 2"_qs);
    QVERIFY(store.entries().first().date >= store.entries().last().date);

    const auto stored = HistoryEntry::decodeList(*m_defaults->data(key));
    QVERIFY(stored);
    QCOMPARE(*stored, store.entries());
}

void TestHistoryStore::longerStoredListLoadsWholeAndIsTrimmedOnAdd()
{
    QList<HistoryEntry> sixty;
    for (int i = 0; i < 60; ++i)
        sixty.append({QUuid::createUuid(), QString::number(i), u"t"_qs, u"LLM"_qs, double(i)});
    m_defaults->setData(key, HistoryEntry::encodeList(sixty));

    HistoryStore store(key, *m_defaults);
    QCOMPARE(store.entries().size(), 60);
    store.add(u"new"_qs, u"t"_qs, u"系统离线"_qs);
    QCOMPARE(store.entries().size(), 50);
    QCOMPARE(store.entries().first().sourceText, u"new"_qs);
    QCOMPARE(store.entries().last().sourceText, u"48"_qs);
}

void TestHistoryStore::identicalTranslationsAreTwoEntries()
{
    HistoryStore store(key, *m_defaults);
    store.add(u" same "_qs, u"同"_qs, u"LLM"_qs);
    store.add(u" same "_qs, u"同"_qs, u"LLM"_qs);
    QCOMPARE(store.entries().size(), 2);
    QVERIFY(store.entries().at(0).id != store.entries().at(1).id);
    // Texts are kept exactly as given, blanks included.
    QCOMPARE(store.entries().at(0).sourceText, u" same "_qs);
}

void TestHistoryStore::unreadableEntriesAreDroppedAndTheValueKeptOnce_data()
{
    QTest::addColumn<bool>("asString");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QStringList>("kept");

    const QByteArray second = storedEntry("\"00000000-0000-4000-8000-000000000002\"").replace("\"a\"", "\"second\"");
    QTest::newRow("one bad entry among good ones")
        << false << ("[" + storedEntry() + ",{\"id\":1}," + second + "]") << QStringList{u"a"_qs, u"second"_qs};
    QTest::newRow("not JSON") << false << QByteArray("[{\"id\":") << QStringList();
    QTest::newRow("a string, not bytes") << true << QByteArray("[]") << QStringList();
}

void TestHistoryStore::unreadableEntriesAreDroppedAndTheValueKeptOnce()
{
    QFETCH(bool, asString);
    QFETCH(QByteArray, stored);
    QFETCH(QStringList, kept);
    const QString sideKey = key + u".unreadable"_qs;
    if (asString)
        m_defaults->setString(key, QString::fromUtf8(stored));
    else
        m_defaults->setData(key, stored);

    const auto sources = [](const QList<HistoryEntry> &entries) {
        QStringList texts;
        for (const HistoryEntry &entry : entries)
            texts.append(entry.sourceText);
        return texts;
    };
    HistoryStore store(key, *m_defaults);
    QCOMPARE(sources(store.entries()), kept);
    QVERIFY(!m_defaults->contains(sideKey)); // loading never writes
    store.add(u"new"_qs, u"新"_qs, u"LLM"_qs);
    QCOMPARE(m_defaults->data(sideKey), stored);

    // Kept once: later writes replace a readable value and leave the side key alone.
    m_defaults->setData(sideKey, "earlier");
    store.add(u"newer"_qs, u"更新"_qs, u"LLM"_qs);
    QCOMPARE(m_defaults->data(sideKey), QByteArray("earlier"));
    QCOMPARE(sources(*HistoryEntry::decodeList(*m_defaults->data(key))), QStringList({u"newer"_qs, u"new"_qs}) + kept);
}

void TestHistoryStore::historySurvivesARestart()
{
    QList<HistoryEntry> before;
    {
        HistoryStore store(key, *m_defaults);
        store.add(u"path/to/file"_qs, u"路径/到/文件"_qs, u"LLM"_qs);
        store.add(u"second"_qs, u"第二"_qs, u"系统离线"_qs);
        before = store.entries();
    }
    // The byte value is stored as such in the INI file, with the solidus escaped inside.
    QVERIFY(m_config->fileContents().contains("@ByteArray("));
    QVERIFY(m_config->fileContents().contains("path\\\\/to"));

    m_defaults = m_config->reopen();
    HistoryStore store(key, *m_defaults);
    QCOMPARE(store.entries(), before);
}

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
