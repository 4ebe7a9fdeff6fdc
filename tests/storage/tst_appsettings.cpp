#include "appsettings.h"
#include "autostartentry.h"
#include "stdoutcapture.h"
#include "temporaryconfig.h"
#include "settingsfile.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QString engineKey = QStringLiteral("com.quendrix.tolvanis.defaultEngine");
const QString providerKey = QStringLiteral("com.quendrix.tolvanis.llmProvider");
const QString baseURLKey = QStringLiteral("com.quendrix.tolvanis.openAIBaseURL");
const QString modelKey = QStringLiteral("com.quendrix.tolvanis.openAIModel");

void writeFile(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
}

} // namespace

class TestAppSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    // --- reading the store
    void freshInstallationHasDefaultsAndWritesNothing();
    void storedValuesAreMatchedExactly_data();
    void storedValuesAreMatchedExactly();
    void emptyStringsSurviveARestart();
    void valuesOfAnotherTypeFallBack();

    // --- writing through
    void everyAssignmentIsWrittenAtOnce();
    void unwritableStoreKeepsTheValueInMemory();

    // --- the login item
    void autostartEntryStates_data();
    void autostartEntryStates();
    void registeringWritesAnEntryThatRunsThisProgram();
    void loginFlagFollowsTheEntryOnlyWhenItMustChange();
    void refusedRegistrationShowsOffAndSaysWhy();
    void settingsFileIsPrivate();

private:
    std::unique_ptr<TemporaryConfig> m_config;
    std::unique_ptr<SettingsFile> m_defaults;

    std::unique_ptr<AppSettings> makeSettings()
    {
        return std::make_unique<AppSettings>(*m_defaults,
                                             std::make_unique<AutostartEntry>(m_config->autostartPath(), u"/usr/bin/tolvanis"_qs));
    }
};

void TestAppSettings::init()
{
    m_config = std::make_unique<TemporaryConfig>();
    m_defaults = m_config->reopen();
}

void TestAppSettings::cleanup()
{
    m_defaults.reset();
    m_config.reset();
}

void TestAppSettings::freshInstallationHasDefaultsAndWritesNothing()
{
    // The standard paths follow XDG_CONFIG_HOME, which the fixture points at a temporary directory.
    QCOMPARE(SettingsFile::standardFilePath(), m_config->defaultsPath());
    QCOMPARE(AutostartEntry::standardFilePath(), m_config->autostartPath());

    const auto settings = makeSettings();
    QCOMPARE(settings->defaultEngine(), EngineKind::System);
    QCOMPARE(settings->llmProvider(), LLMProvider::Anthropic);
    QCOMPARE(settings->openAIBaseURL(), u"https://api.openai.com/v1"_qs);
    QCOMPARE(settings->openAIModel(), u"gpt-4o-mini"_qs);
    QCOMPARE(settings->launchAtLogin(), false);
    QVERIFY(!QFile::exists(m_config->defaultsPath()));
    QVERIFY(!QFile::exists(m_config->autostartPath()));
}

void TestAppSettings::storedValuesAreMatchedExactly_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("provider");
    QTest::addColumn<EngineKind>("expectedEngine");
    QTest::addColumn<LLMProvider>("expectedProvider");

    QTest::newRow("exact") << "llm" << "openAICompatible" << EngineKind::LLM << LLMProvider::OpenAICompatible;
    QTest::newRow("letter case") << "LLM" << "openaicompatible" << EngineKind::System << LLMProvider::Anthropic;
    QTest::newRow("trailing space") << "llm " << "openAICompatible " << EngineKind::System << LLMProvider::Anthropic;
    QTest::newRow("label instead of raw value") << u"系统离线"_qs << u"OpenAI 兼容"_qs << EngineKind::System
                                                 << LLMProvider::Anthropic;
    QTest::newRow("empty") << "" << "" << EngineKind::System << LLMProvider::Anthropic;
}

void TestAppSettings::storedValuesAreMatchedExactly()
{
    QFETCH(QString, engine);
    QFETCH(QString, provider);
    QFETCH(EngineKind, expectedEngine);
    QFETCH(LLMProvider, expectedProvider);

    m_defaults->setString(engineKey, engine);
    m_defaults->setString(providerKey, provider);
    m_defaults = m_config->reopen();

    const auto settings = makeSettings();
    QCOMPARE(settings->defaultEngine(), expectedEngine);
    QCOMPARE(settings->llmProvider(), expectedProvider);
    // Reading never rewrites what is stored, whatever it is.
    QCOMPARE(m_defaults->string(engineKey), engine);
}

void TestAppSettings::emptyStringsSurviveARestart()
{
    {
        const auto settings = makeSettings();
        settings->setOpenAIModel(QString());
        settings->setOpenAIBaseURL(QString());
        settings->setGlobalShortcut(QString()); // off, not "the default"
    }
    QVERIFY(m_config->fileContents().contains("com.quendrix.tolvanis.openAIModel=\n"));
    m_defaults = m_config->reopen();
    const auto settings = makeSettings();
    QCOMPARE(settings->openAIModel(), QString());
    QCOMPARE(settings->openAIBaseURL(), QString());
    QCOMPARE(settings->globalShortcut(), QString());
}

void TestAppSettings::valuesOfAnotherTypeFallBack()
{
    m_defaults->setData(modelKey, QByteArray("gpt-4o"));
    m_defaults = m_config->reopen();
    QCOMPARE(makeSettings()->openAIModel(), u"gpt-4o-mini"_qs);
}

void TestAppSettings::everyAssignmentIsWrittenAtOnce()
{
    const auto settings = makeSettings();
    QSignalSpy providerChanged(settings.get(), &AppSettings::llmProviderChanged);

    // Assigning the value it already has still writes the key.
    settings->setDefaultEngine(EngineKind::System);
    settings->setLLMProvider(LLMProvider::OpenAICompatible);
    settings->setOpenAIBaseURL(u"http://127.0.0.1:8080/v1/"_qs);
    settings->setOpenAIModel(u"qwen2.5:7b"_qs);
    QCOMPARE(providerChanged.count(), 1);

    // Another store over the same file, as the next run sees it.
    const auto reread = m_config->reopen();
    QCOMPARE(reread->string(engineKey), u"system"_qs);
    QCOMPARE(reread->string(providerKey), u"openAICompatible"_qs);
    QCOMPARE(reread->string(baseURLKey), u"http://127.0.0.1:8080/v1/"_qs);
    QCOMPARE(reread->string(modelKey), u"qwen2.5:7b"_qs);
    // No other key, and never an API key, lands in the file.
    const QByteArray file = m_config->fileContents();
    QCOMPARE(file.count("com.quendrix.tolvanis."), 4);
}

void TestAppSettings::unwritableStoreKeepsTheValueInMemory()
{
    // A regular file where the config directory should be: works even as root.
    writeFile(m_config->path() + u"/tolvanis"_qs, "not a directory");
    m_defaults = m_config->reopen();
    const auto settings = makeSettings();
    settings->setOpenAIModel(u"llama3"_qs);
    QCOMPARE(settings->openAIModel(), u"llama3"_qs);
    QVERIFY(!QFileInfo(m_config->defaultsPath()).exists());
}

void TestAppSettings::autostartEntryStates_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("plain entry") << QByteArray("[Desktop Entry]\nType=Application\nExec=tolvanis\n") << true;
    QTest::newRow("Hidden=true") << QByteArray("[Desktop Entry]\nExec=tolvanis\nHidden=true\n") << false;
    QTest::newRow("Hidden=false") << QByteArray("[Desktop Entry]\nExec=tolvanis\nHidden=false\n") << true;
    QTest::newRow("GNOME switch off")
        << QByteArray("[Desktop Entry]\nExec=tolvanis\nX-GNOME-Autostart-enabled=false\n") << false;
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
    QCOMPARE(makeSettings()->launchAtLogin(), enabled);
    QCOMPARE(AutostartEntry(m_config->autostartPath(), u"/usr/bin/tolvanis"_qs).startsThisProgram(), enabled);
}

void TestAppSettings::registeringWritesAnEntryThatRunsThisProgram()
{
    AutostartEntry item(m_config->autostartPath(), u"/opt/my apps/tolvanis\"$x"_qs);
    QCOMPARE(item.enable(), std::nullopt);
    QVERIFY(item.isEnabled());
    QVERIFY(item.startsThisProgram());

    QFile file(m_config->autostartPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray entry = file.readAll();
    QVERIFY(entry.startsWith("[Desktop Entry]\n"));
    // Quoted, with ", $ escaped, and the escaping backslashes doubled for the string value.
    QVERIFY2(entry.contains("\nExec=\"/opt/my apps/tolvanis\\\\\"\\\\$x\"\n"), entry.constData());

    QCOMPARE(item.disable(), std::nullopt);
    QVERIFY(!QFile::exists(m_config->autostartPath()));
    QCOMPARE(item.disable(), std::nullopt);
}

void TestAppSettings::loginFlagFollowsTheEntryOnlyWhenItMustChange()
{
    // Switched off by the desktop's own settings: not enabled, and turning the
    // flag off must not delete the user's file.
    const QByteArray hidden("[Desktop Entry]\nExec=other\nHidden=true\n");
    writeFile(m_config->autostartPath(), hidden);
    auto settings = makeSettings();
    QVERIFY(!settings->launchAtLogin());
    settings->setLaunchAtLogin(false);
    QVERIFY(QFile::exists(m_config->autostartPath()));

    settings->setLaunchAtLogin(true);
    QVERIFY(AutostartEntry(m_config->autostartPath()).isEnabled());
    settings->setLaunchAtLogin(false);
    QVERIFY(!QFile::exists(m_config->autostartPath()));
}

void TestAppSettings::refusedRegistrationShowsOffAndSaysWhy()
{
    writeFile(m_config->path() + u"/autostart"_qs, "a file where the directory belongs");
    const auto settings = makeSettings();
    QSignalSpy changed(settings.get(), &AppSettings::launchAtLoginChanged);
    QSignalSpy failed(settings.get(), &AppSettings::launchAtLoginFailed);

    StdoutCapture capture;
    settings->setLaunchAtLogin(true);
    QCOMPARE(capture.text(), QByteArray());

    QVERIFY(!settings->launchAtLogin());
    QCOMPARE(changed.count(), 1); // the switch that was turned on hears that it is off
    QCOMPARE(failed.count(), 1);
    QVERIFY(!failed.first().first().toString().isEmpty());
}

void TestAppSettings::settingsFileIsPrivate()
{
    const auto mode = [](const QString &path) {
        struct stat info{};
        ::stat(QFile::encodeName(path).constData(), &info);
        return info.st_mode & 07777;
    };
    const auto settings = makeSettings();
    settings->setOpenAIModel(u"a"_qs);
    QCOMPARE(mode(m_config->defaultsPath()), 0600u);
    QCOMPARE(mode(m_config->path() + u"/tolvanis"_qs), 0700u);

    QFile::setPermissions(m_config->defaultsPath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    settings->setOpenAIModel(u"b"_qs);
    QCOMPARE(mode(m_config->defaultsPath()), 0600u);
    QCOMPARE(m_config->reopen()->string(modelKey), u"b"_qs);
}

QTEST_GUILESS_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
