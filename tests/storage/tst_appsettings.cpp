#include "appsettings.h"
#include "temporaryconfig.h"

#include <QSignalSpy>
#include <QtTest>

#include <sys/stat.h>

namespace {

void writeFile(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
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
    std::optional<TemporaryConfig> m_config;

private Q_SLOTS:
    void init()
    {
        QTest::failOnWarning(QRegularExpression(u".*"_qs));
        m_config.emplace();
    }
    void cleanup() { m_config.reset(); }

    void storedValuesAreReadExactly_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("read"); // engine, provider, base URL, model, shortcut
        const QString defaults = u"system anthropic https://api.openai.com/v1 gpt-4o-mini Ctrl+Alt+Y"_qs;
        QTest::newRow("nothing stored") << QByteArray() << defaults;
        QTest::newRow("exact") << QByteArray("defaultEngine=llm\nllmProvider=openAICompatible\nopenAIModel=qwen2.5:7b")
                               << u"llm openAICompatible https://api.openai.com/v1 qwen2.5:7b Ctrl+Alt+Y"_qs;
        QTest::newRow("letter case") << QByteArray("defaultEngine=LLM\nllmProvider=openaicompatible") << defaults;
        QTest::newRow("trailing space") << QByteArray("defaultEngine=\"llm \"\nllmProvider=\"openAICompatible \"") << defaults;
        QTest::newRow("label, not raw value") << u"defaultEngine=系统离线\nllmProvider=OpenAI 兼容"_qs.toUtf8() << defaults;
        QTest::newRow("empty stays empty") << QByteArray("openAIBaseURL=\nopenAIModel=\nglobalShortcut=") << u"system anthropic   "_qs;
        QTest::newRow("bytes, not a string") << QByteArray("openAIModel=@ByteArray(gpt-4o)") << defaults;
    }

    void storedValuesAreReadExactly()
    {
        QFETCH(QByteArray, stored);
        const QByteArray prefix("\ncom.quendrix.tolvanis.");
        if (!stored.isEmpty())
            writeFile(m_config->defaultsPath(), "[General]" + prefix + QByteArray(stored).replace("\n", prefix));
        const QByteArray before = m_config->fileContents();
        const AppSettings &settings = m_config->settings();
        QTEST(QStringList({rawValue(settings.defaultEngine()), rawValue(settings.llmProvider()), settings.openAIBaseURL(),
                           settings.openAIModel(), settings.globalShortcut()}).join(u' '), "read");
        // Reading never rewrites what is stored, nor creates a file.
        QCOMPARE(m_config->fileContents(), before);
        QCOMPARE(QFile::exists(m_config->defaultsPath()), !stored.isEmpty());
        QVERIFY(!settings.launchAtLogin() && !QFile::exists(m_config->autostartPath()));
    }

    void everyAssignmentIsWrittenAtOnceToAPrivateFile()
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
        QCOMPARE(mode(m_config->path() + u"/tolvanis"_qs), 0700u);
        QCOMPARE(mode(m_config->defaultsPath()), 0600u);
        // A file others could read is made private again with the next write.
        QFile::setPermissions(m_config->defaultsPath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        settings.setOpenAIModel(u"llama3"_qs);
        QCOMPARE(mode(m_config->defaultsPath()), 0600u);
        m_config->restart();
        QCOMPARE(m_config->settings().openAIModel(), u"llama3"_qs);
        QCOMPARE(m_config->settings().globalShortcut(), QString());
    }

    void unwritableStoreKeepsTheValueAndSaysSoOnce()
    {
        writeFile(m_config->path() + u"/tolvanis"_qs, "a file where the directory belongs"); // even root cannot write
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"could not be written"_qs));
        m_config->settings().setOpenAIModel(u"llama3"_qs);
        m_config->settings().setOpenAIBaseURL(u"http://localhost"_qs);
        QCOMPARE(m_config->settings().openAIModel(), u"llama3"_qs);
        QVERIFY(!QFileInfo::exists(m_config->defaultsPath()));
    }

    void autostartEntryStates_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("plain entry") << QByteArray("[Desktop Entry]\nType=Application\nExec=tolvanis\n") << true;
        QTest::newRow("Hidden=true") << QByteArray("[Desktop Entry]\nExec=tolvanis\nHidden=true\n") << false;
        QTest::newRow("Hidden=false") << QByteArray("[Desktop Entry]\nExec=tolvanis\nHidden=false\n") << true;
        QTest::newRow("GNOME switch off") << QByteArray("[Desktop Entry]\nExec=x\nX-GNOME-Autostart-enabled=false\n") << false;
        QTest::newRow("switch in another group") << QByteArray("[Desktop Entry]\nExec=x\n[Desktop Action x]\nHidden=true\n") << true;
        QTest::newRow("empty file") << QByteArray() << true;
        QTest::newRow("moved binary") << QByteArray("[Desktop Entry]\nExec=\"/opt/old/tolvanis\"\n") << true;
    }

    // An enabled entry is made to start this program, whatever it started
    // before; one the desktop switched off stays until it is turned on.
    void autostartEntryStates()
    {
        QFETCH(QByteArray, contents);
        QFETCH(bool, enabled);
        writeFile(m_config->autostartPath(), contents);
        AppSettings &settings = m_config->settings();
        QCOMPARE(settings.launchAtLogin(), enabled);
        QCOMPARE(AutostartEntry(m_config->autostartPath()).startsThisProgram(), enabled);
        settings.setLaunchAtLogin(false);
        QCOMPARE(QFile::exists(m_config->autostartPath()), !enabled);
        settings.setLaunchAtLogin(true);
        QVERIFY(settings.launchAtLogin() && AutostartEntry(m_config->autostartPath()).isEnabled());
    }

    void registeringWritesAnEntryThatRunsThisProgram()
    {
        AutostartEntry entry(m_config->autostartPath(), u"/opt/my apps/tolvanis\"$x%"_qs);
        QVERIFY(entry.enable() && entry.isEnabled() && entry.startsThisProgram());
        QFile file(m_config->autostartPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        // Quoted, with " and $ escaped, the escaping backslashes doubled for the string value, % as %%.
        QCOMPARE(file.readAll(), u"[Desktop Entry]\nType=Application\nName=tolvanis\nComment=中英互译\n"
                                 u"Exec=\"/opt/my apps/tolvanis\\\\\"\\\\$x%%\"\nIcon=tolvanis\nTerminal=false\n"
                                 u"X-GNOME-Autostart-enabled=true\n"_qs.toUtf8());
        QVERIFY(entry.disable() && !QFile::exists(m_config->autostartPath()) && entry.disable());
    }

    void refusedRegistrationShowsOffAndSaysWhy()
    {
        writeFile(m_config->path() + u"/autostart"_qs, "a file where the directory belongs");
        AppSettings &settings = m_config->settings();
        QSignalSpy changed(&settings, &AppSettings::launchAtLoginChanged);
        QSignalSpy failed(&settings, &AppSettings::launchAtLoginFailed);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"autostart entry .* not updated"_qs));
        settings.setLaunchAtLogin(true);
        QVERIFY(!settings.launchAtLogin());
        QCOMPARE(changed.count(), 1); // the switch that was turned on hears that it is off
        QCOMPARE(failed.value(0).value(0).toString(), u"无法创建目录 "_qs + m_config->path() + u"/autostart"_qs);
    }
};

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
