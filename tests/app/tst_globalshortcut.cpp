#include "app/globalshortcut.h"
#include "desktop/shortcutbackend.h"
#include "storage/appsettings.h"
#include "temporaryconfig.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// Answers each bind() with the next scripted outcome: empty binds, else the refusal's reason.
class ScriptedBackend final : public ShortcutBackend
{
public:
    explicit ScriptedBackend(QStringList outcomes, QStringList &binds)
        : m_outcomes(std::move(outcomes))
        , m_binds(binds)
    { }
    void bind(const QKeySequence &keys) override
    {
        m_binds << keys.toString(QKeySequence::PortableText);
        const QString reason = m_outcomes.isEmpty() ? QString() : m_outcomes.takeFirst();
        if (reason.isEmpty())
            Q_EMIT bound({});
        else
            Q_EMIT failed(reason);
    }

private:
    QStringList m_outcomes;
    QStringList &m_binds;
};

} // namespace

class TestGlobalShortcut : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keepsTheSettingHonest_data();
    void keepsTheSettingHonest();
};

void TestGlobalShortcut::keepsTheSettingHonest_data()
{
    QTest::addColumn<QStringList>("outcomes");
    QTest::addColumn<QString>("change"); // what the user picks after start; empty: nothing
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("startFailure");
    QTest::addColumn<QStringList>("binds");
    QTest::addColumn<QString>("reported");
    const QString held = u"快捷键已被另一个程序占用。"_qs;
    QTest::newRow("bound at start, a refused change goes back")
        << QStringList{QString(), held} << u"Ctrl+Alt+T"_qs << u"Ctrl+Alt+J"_qs << QString()
        << QStringList{u"Ctrl+Alt+J"_qs, u"Ctrl+Alt+T"_qs} << held;
    QTest::newRow("held by another program at start: the choice stays, the reason is kept")
        << QStringList{held} << QString() << u"Ctrl+Alt+J"_qs << held << QStringList{u"Ctrl+Alt+J"_qs} << held;
    QTest::newRow("held at start, a refused change goes back to the choice")
        << QStringList{held, u"不行。"_qs} << u"Ctrl+Alt+T"_qs << u"Ctrl+Alt+J"_qs << held
        << QStringList{u"Ctrl+Alt+J"_qs, u"Ctrl+Alt+T"_qs} << u"不行。"_qs;
    QTest::newRow("held at start, a change that binds clears the reason")
        << QStringList{held, QString()} << u"Ctrl+Alt+T"_qs << u"Ctrl+Alt+T"_qs << QString()
        << QStringList{u"Ctrl+Alt+J"_qs, u"Ctrl+Alt+T"_qs} << u"全局快捷键：Ctrl+Alt+T"_qs;
}

void TestGlobalShortcut::keepsTheSettingHonest()
{
    QFETCH(QStringList, outcomes);
    QFETCH(QString, change);
    QFETCH(QStringList, binds);
    TemporaryConfig config;
    AppSettings &settings = config.settings();
    settings.setGlobalShortcut(u"Ctrl+Alt+J"_qs);
    QStringList asked;
    GlobalShortcut shortcut(settings, std::make_unique<ScriptedBackend>(outcomes, asked));
    QSignalSpy reports(&shortcut, &GlobalShortcut::reported);
    shortcut.start();
    QTRY_COMPARE(reports.count(), 1);
    if (!change.isEmpty()) {
        settings.setGlobalShortcut(change);
        QTRY_COMPARE(reports.count(), 2);
    }
    QTest::qWait(0);
    QTEST(settings.globalShortcut(), "setting");
    QTEST(shortcut.startFailure(), "startFailure");
    QCOMPARE(asked, binds);
    QTEST(reports.constLast().at(1).toString(), "reported");
}

QTEST_GUILESS_MAIN(TestGlobalShortcut)
#include "tst_globalshortcut.moc"
