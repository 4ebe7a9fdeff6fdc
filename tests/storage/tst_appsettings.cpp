#include "storage/appsettings.h"
#include "storage/settingsfile.h"
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
    struct stat info { };
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

    // Reading creates no file; every assignment is on disk while the program
    // still runs, and nothing else: never an API key.
    void everyAssignmentIsWrittenAtOnce()
    {
        AppSettings &settings = m_config->settings();
        QVERIFY(!settings.launchAtLogin() && settings.globalShortcut() == u"Ctrl+Alt+Y"_qs &&
                settings.screenTextShortcut() == u"Ctrl+Alt+O"_qs);
        QVERIFY(!QFile::exists(m_config->settingsFilePath()));
        QSignalSpy providerChanged(&settings, &AppSettings::llmProviderChanged);
        settings.setDefaultEngine(EngineKind::System); // the value it has: written all the same
        settings.setLLMProvider(LLMProvider::OpenAICompatible);
        settings.setOpenAIBaseURL(u"http://127.0.0.1:8080/v1/"_qs);
        settings.setOpenAIModel(QString());
        settings.setGlobalShortcut(QString()); // off, not "the default"
        settings.setScreenTextShortcut(u"Meta+Shift+T"_qs);
        QCOMPARE(providerChanged.count(), 1);
        QCOMPARE(m_config->fileContents(),
                 QByteArray("[General]\ncom.quendrix.tolvanis.defaultEngine=system\n"
                            "com.quendrix.tolvanis.globalShortcut=\n"
                            "com.quendrix.tolvanis.llmProvider=openAICompatible\n"
                            "com.quendrix.tolvanis.openAIBaseURL=http://127.0.0.1:8080/v1/\n"
                            "com.quendrix.tolvanis.openAIModel=\n"
                            "com.quendrix.tolvanis.screenTextShortcut=Meta+Shift+T\n"));
        m_config->restart();
        QCOMPARE(m_config->settings().openAIModel(), QString());
        QCOMPARE(m_config->settings().globalShortcut(), QString());
        QCOMPARE(m_config->settings().screenTextShortcut(), u"Meta+Shift+T"_qs);
    }

    // It holds every translated text: from its first write on, for the user's eyes only.
    void settingsFileIsPrivateToTheUser()
    {
        ::umask(022); // as most users have it: a new file would be readable by all
        m_config->settings().setOpenAIModel(u"llama3"_qs);
        QCOMPARE(mode(m_config->path() + u"/tolvanis"_qs), 0700u);
        QCOMPARE(mode(m_config->settingsFilePath()), 0600u);
        // A file others could read is made private again with the next write.
        QFile::setPermissions(m_config->settingsFilePath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        m_config->settings().setOpenAIModel(u"llama3"_qs);
        QCOMPARE(mode(m_config->settingsFilePath()), 0600u);
    }

    // Reading a FIFO would block start-up until someone writes to it.
    void oddSettingsFileIsLeftAloneAndDefaultsUsed()
    {
        const QString path = m_config->settingsFilePath();
        for (const bool fifo : {true, false}) {
            QFile file(path);
            QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()) && (!file.exists() || file.remove()));
            QVERIFY(fifo ? mkfifo(QFile::encodeName(path).constData(), 0600) == 0
                         : file.open(QIODevice::WriteOnly) && file.resize(SettingsFile::maximumSize + 1));
            file.close();
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u".*not a regular file of a sane size.*"_qs));
            m_config->restart();
            m_config->settings().setOpenAIModel(u"llama3"_qs);
            QCOMPARE(m_config->settings().openAIModel(), u"llama3"_qs);
            QCOMPARE(QFileInfo(path).size(), fifo ? 0 : SettingsFile::maximumSize + 1);
        }
    }

    void autostartEntryStates_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("plain entry") << QByteArray("[Desktop Entry]\nType=Application\nExec=tolvanis\n") << true;
        QTest::newRow("Hidden=true") << QByteArray("[Desktop Entry]\nExec=tolvanis\nHidden=true\n") << false;
        QTest::newRow("GNOME switch off")
            << QByteArray("[Desktop Entry]\nExec=x\nX-GNOME-Autostart-enabled=false\n") << false;
        QTest::newRow("switch in another group")
            << QByteArray("[Desktop Entry]\nExec=x\n[Desktop Action x]\nHidden=true\n") << true;
        QTest::newRow("empty file") << QByteArray() << true;
        QTest::newRow("moved binary") << QByteArray("[Desktop Entry]\nExec=\"/opt/old/tolvanis\"\n") << true;
        QTest::newRow("old name") << "[Desktop Entry]\nExec=" + TemporaryConfig::program().toUtf8() << true;
        QTest::newRow("old name, Hidden=true") << QByteArray("[Desktop Entry]\nExec=x\nHidden=true\n") << false;
    }

    // An entry is moved, as it is, from the name older versions used; an
    // enabled one is made to start this program when its own is gone; one the
    // desktop switched off stays until it is turned on.
    void autostartEntryStates()
    {
        QFETCH(QByteArray, contents);
        QFETCH(bool, enabled);
        const bool oldName = QByteArray(QTest::currentDataTag()).startsWith("old name");
        const QString oldPath = m_config->path() + u"/autostart/tolvanis.desktop"_qs;
        writeFile(oldName ? oldPath : m_config->autostartPath(), contents);
        AppSettings &settings = m_config->settings();
        QCOMPARE(settings.launchAtLogin(), enabled);
        QVERIFY(!QFile::exists(oldPath));
        QCOMPARE(AutostartEntry(m_config->autostartPath(), TemporaryConfig::program()).startsThisProgram(), enabled);
        QFile entry(m_config->autostartPath()); // and truly this one: the entry names it
        QVERIFY(!enabled ||
                (entry.open(QIODevice::ReadOnly) && entry.readAll().contains(TemporaryConfig::program().toUtf8())));
        settings.setLaunchAtLogin(false);
        QCOMPARE(QFile::exists(m_config->autostartPath()) || QFile::exists(oldPath), !enabled);
        settings.setLaunchAtLogin(true);
        QVERIFY(settings.launchAtLogin() &&
                AutostartEntry(m_config->autostartPath(), TemporaryConfig::program()).isEnabled());
    }

    void autostartEntryIsRewrittenOnlyWhenItsProgramIsGone_data()
    {
        QTest::addColumn<QByteArray>("exec");
        QTest::addColumn<QString>("running"); // in /tmp: another user may control it by the next login
        QTest::addColumn<bool>("rewritten");
        QTest::newRow("wrapper") << QByteArray("env LANG=C tolvanis") << u"/usr/lib/tolvanis"_qs << false;
        QTest::newRow("program gone") << QByteArray("/opt/old/tolvanis") << u"/usr/lib/tolvanis"_qs << true;
        QTest::newRow("copy run from /tmp") << QByteArray("/opt/old/tolvanis") << u"/tmp/x/tolvanis"_qs << false;
    }

    void autostartEntryIsRewrittenOnlyWhenItsProgramIsGone()
    {
        QFETCH(QByteArray, exec);
        QFETCH(QString, running);
        QFETCH(bool, rewritten);
        writeFile(m_config->autostartPath(), "[Desktop Entry]\nExec=" + exec + "\n");
        if (running.startsWith(u"/tmp/"_qs))
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"autostart entry .* not updated.*"_qs));
        const AutostartEntry entry(m_config->autostartPath(), running);
        AppSettings settings(m_config->settingsFile(), entry);
        QCOMPARE(entry.startsThisProgram(), rewritten);
    }

    // Quoting survives any path; a path that merely ends alike is another program.
    void registeringWritesAnEntryThatRunsThisProgram()
    {
        const QString ours = u"/opt/my apps/tolvanis\"$x%"_qs;
        QVERIFY(AutostartEntry(m_config->autostartPath(), ours).enable());
        QVERIFY(AutostartEntry(m_config->autostartPath(), ours).startsThisProgram());
        for (const QString &other : {u"/opt/my apps/tolvanis"_qs, u"/usr/bin/tolvanis\"$x%"_qs, u"tolvanis"_qs})
            QVERIFY2(!AutostartEntry(m_config->autostartPath(), other).startsThisProgram(), qPrintable(other));
    }
};

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
