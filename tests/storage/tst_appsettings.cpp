#include "appsettings.h"
#include "temporaryconfig.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include <sys/stat.h>

namespace {

void writeFile(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
}

uint mode(const QString &path)
{
    struct stat info{};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

} // namespace

class TestAppSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup() { m_config.reset(); }
    void storedValuesAreReadExactly_data();
    void storedValuesAreReadExactly();
    void everyAssignmentIsWrittenAtOnceToAPrivateFile();
    void unwritableStoreKeepsTheValueAndSaysSoOnce();
    void autostartEntryStates_data();
    void autostartEntryStates();
    void registeringWritesAnEntryThatRunsThisProgram();
    void turningOffLeavesAnEntryTheDesktopSwitchedOff();
    void refusedRegistrationShowsOffAndSaysWhy();

private:
    std::optional<TemporaryConfig> m_config;
};

void TestAppSettings::init()
{
    QTest::failOnWarning(QRegularExpression(u".*"_qs));
    m_config.emplace();
}

void TestAppSettings::storedValuesAreReadExactly_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("read"); // engine, provider, base URL, model, shortcut

    const QString defaults = u"system anthropic https://api.openai.com/v1 gpt-4o-mini Ctrl+Alt+Y"_qs;
    QTest::newRow("nothing stored") << QByteArray() << defaults;
    QTest::newRow("exact") << QByteArray("defaultEngine=llm\nllmProvider=openAICompatible\nopenAIModel=qwen2.5:7b")
                           << u"llm openAICompatible https://api.openai.com/v1 qwen2.5:7b Ctrl+Alt+Y"_qs;
    QTest::newRow("letter case") << QByteArray("defaultEngine=LLM\nllmProvider=openaicompatible") << defaults;
    QTest::newRow("trailing space") << QByteArray("defaultEngine=\"llm \"\nllmProvider=\"openAICompatible \"") << defaults;
    QTest::newRow("label, not raw value")
        << QString(u"defaultEngine=系统离线\nllmProvider=OpenAI 兼容"_qs).toUtf8() << defaults;
    QTest::newRow("empty strings stay empty") << QByteArray("openAIBaseURL=\nopenAIModel=\nglobalShortcut=")
                                              << u"system anthropic   "_qs;
    QTest::newRow("bytes, not a string") << QByteArray("openAIModel=@ByteArray(gpt-4o)") << defaults;
}

void TestAppSettings::storedValuesAreReadExactly()
{
    QFETCH(QByteArray, stored);
    if (!stored.isEmpty()) {
        const QByteArray prefix("\ncom.quendrix.tolvanis.");
        writeFile(m_config->defaultsPath(), "[General]" + prefix + QByteArray(stored).replace("\n", prefix));
    }
    const QByteArray before = m_config->fileContents();
    const AppSettings &settings = m_config->settings();
    const QStringList read{rawValue(settings.defaultEngine()), rawValue(settings.llmProvider()), settings.openAIBaseURL(),
                           settings.openAIModel(), settings.globalShortcut()};
    QTEST(read.join(u' '), "read");
    QCOMPARE(settings.launchAtLogin(), false);
    // Reading never rewrites what is stored, whatever it is, nor creates an autostart entry.
    QCOMPARE(m_config->fileContents(), before);
    QCOMPARE(QFile::exists(m_config->defaultsPath()), !stored.isEmpty());
    QVERIFY(!QFile::exists(m_config->autostartPath()));
}

void TestAppSettings::everyAssignmentIsWrittenAtOnceToAPrivateFile()
{
    AppSettings &settings = m_config->settings();
    QSignalSpy providerChanged(&settings, &AppSettings::llmProviderChanged);
    settings.setDefaultEngine(EngineKind::System); // the value it has: written all the same
    settings.setLLMProvider(LLMProvider::OpenAICompatible);
    settings.setOpenAIBaseURL(u"http://127.0.0.1:8080/v1/"_qs);
    settings.setOpenAIModel(QString());
    settings.setGlobalShortcut(QString()); // off, not "the default"
    QCOMPARE(providerChanged.count(), 1);
    // On disk while the program still runs, and nothing else: never an API key.
    QCOMPARE(m_config->fileContents(), QByteArray("[General]\ncom.quendrix.tolvanis.defaultEngine=system\n"
                                                  "com.quendrix.tolvanis.globalShortcut=\n"
                                                  "com.quendrix.tolvanis.llmProvider=openAICompatible\n"
                                                  "com.quendrix.tolvanis.openAIBaseURL=http://127.0.0.1:8080/v1/\n"
                                                  "com.quendrix.tolvanis.openAIModel=\n"));
    QCOMPARE(mode(m_config->defaultsPath()), 0600u);
    QCOMPARE(mode(m_config->path() + u"/tolvanis"_qs), 0700u);
    // A file others could read is made private again with the next write.
    QFile::setPermissions(m_config->defaultsPath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    settings.setOpenAIModel(u"llama3"_qs);
    QCOMPARE(mode(m_config->defaultsPath()), 0600u);
    m_config->restart();
    QCOMPARE(m_config->settings().openAIModel(), u"llama3"_qs);
    QCOMPARE(m_config->settings().globalShortcut(), QString());
}

void TestAppSettings::unwritableStoreKeepsTheValueAndSaysSoOnce()
{
    // A regular file where the config directory should be: works even as root.
    writeFile(m_config->path() + u"/tolvanis"_qs, "not a directory");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"could not be written"_qs));
    AppSettings &settings = m_config->settings();
    settings.setOpenAIModel(u"llama3"_qs);
    settings.setOpenAIBaseURL(u"http://localhost"_qs);
    QCOMPARE(settings.openAIModel(), u"llama3"_qs);
    QVERIFY(!QFileInfo::exists(m_config->defaultsPath()));
}

void TestAppSettings::autostartEntryStates_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("plain entry") << QByteArray("[Desktop Entry]\nType=Application\nExec=tolvanis\n") << true;
    QTest::newRow("Hidden=true") << QByteArray("[Desktop Entry]\nExec=tolvanis\nHidden=true\n") << false;
    QTest::newRow("Hidden=false") << QByteArray("[Desktop Entry]\nExec=tolvanis\nHidden=false\n") << true;
    QTest::newRow("GNOME switch off") << QByteArray("[Desktop Entry]\nExec=tolvanis\nX-GNOME-Autostart-enabled=false\n")
                                      << false;
    QTest::newRow("switch in another group")
        << QByteArray("[Desktop Entry]\nExec=tolvanis\n[Desktop Action x]\nHidden=true\n") << true;
    QTest::newRow("empty file") << QByteArray() << true;
    QTest::newRow("moved binary") << QByteArray("[Desktop Entry]\nExec=\"/opt/old/tolvanis\"\n") << true;
}

// An enabled entry is made to start this program, whatever it started before.
void TestAppSettings::autostartEntryStates()
{
    QFETCH(QByteArray, contents);
    QFETCH(bool, enabled);
    writeFile(m_config->autostartPath(), contents);
    QCOMPARE(m_config->settings().launchAtLogin(), enabled);
    QCOMPARE(AutostartEntry(m_config->autostartPath()).startsThisProgram(), enabled);
}

void TestAppSettings::registeringWritesAnEntryThatRunsThisProgram()
{
    AutostartEntry entry(m_config->autostartPath(), u"/opt/my apps/tolvanis\"$x%"_qs);
    QVERIFY(entry.enable());
    QVERIFY(entry.isEnabled());
    QVERIFY(entry.startsThisProgram());
    QFile file(m_config->autostartPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    // Quoted, with " and $ escaped, the escaping backslashes doubled for the string value, % as %%.
    QCOMPARE(file.readAll(), QString(u"[Desktop Entry]\nType=Application\nName=tolvanis\nComment=中英互译\n"
                                     u"Exec=\"/opt/my apps/tolvanis\\\\\"\\\\$x%%\"\nIcon=tolvanis\nTerminal=false\n"
                                     u"X-GNOME-Autostart-enabled=true\n"_qs).toUtf8());
    QVERIFY(entry.disable());
    QVERIFY(!QFile::exists(m_config->autostartPath()));
    QVERIFY(entry.disable());
}

void TestAppSettings::turningOffLeavesAnEntryTheDesktopSwitchedOff()
{
    writeFile(m_config->autostartPath(), "[Desktop Entry]\nExec=other\nHidden=true\n");
    AppSettings &settings = m_config->settings();
    settings.setLaunchAtLogin(false);
    QVERIFY(QFile::exists(m_config->autostartPath()));
    settings.setLaunchAtLogin(true);
    QVERIFY(settings.launchAtLogin());
    QVERIFY(AutostartEntry(m_config->autostartPath()).isEnabled());
    settings.setLaunchAtLogin(false);
    QVERIFY(!QFile::exists(m_config->autostartPath()));
}

void TestAppSettings::refusedRegistrationShowsOffAndSaysWhy()
{
    writeFile(m_config->path() + u"/autostart"_qs, "a file where the directory belongs");
    AppSettings &settings = m_config->settings();
    QSignalSpy changed(&settings, &AppSettings::launchAtLoginChanged);
    QSignalSpy failed(&settings, &AppSettings::launchAtLoginFailed);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"autostart entry .* not updated"_qs));
    settings.setLaunchAtLogin(true);
    QVERIFY(!settings.launchAtLogin());
    QCOMPARE(changed.count(), 1); // the switch that was turned on hears that it is off
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.first().first().toString(), u"无法创建目录 "_qs + m_config->path() + u"/autostart"_qs);
}

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
