#include "app/globalshortcut.h"
#include "desktop/shortcutbackend.h"
#include "storage/appsettings.h"
#include "temporaryconfig.h"

#include <QSignalSpy>
#include <QtTest>

// Answers each bind() with the next scripted outcome: empty binds, else the refusal's reason.
struct ScriptedBackend final : ShortcutBackend {
    QStringList outcomes;
    QStringList &asked;
    ScriptedBackend(QStringList script, QStringList &binds)
        : outcomes(std::move(script))
        , asked(binds)
    { }
    void bind(const QKeySequence &keys) override
    {
        asked << keys.toString(QKeySequence::PortableText);
        const QString reason = outcomes.isEmpty() ? QString() : outcomes.takeFirst();
        reason.isEmpty() ? Q_EMIT bound({}) : Q_EMIT failed(reason);
    }
};

class TestGlobalShortcut : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keepsTheSettingHonest_data()
    {
        QTest::addColumn<QStringList>("outcomes"); // of binding Ctrl+Alt+J at start, then Ctrl+Alt+T
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("startFailure");
        QTest::addColumn<QString>("reported");
        QTest::addColumn<bool>("screenText"); // the screen text's key and setting instead of the selection's
        const QString held = u"快捷键已被另一个程序占用。"_qs, no = u"不行。"_qs;
        QTest::newRow("bound at start, a refused change goes back")
            << QStringList{QString(), no} << u"Ctrl+Alt+J"_qs << QString() << no << false;
        QTest::newRow("held by another program at start: the choice stays, the reason is kept")
            << QStringList{held} << u"Ctrl+Alt+J"_qs << held << held << false;
        QTest::newRow("held at start, a refused change goes back to the choice")
            << QStringList{held, no} << u"Ctrl+Alt+J"_qs << held << no << false;
        QTest::newRow("held at start, a change that binds clears the reason")
            << QStringList{held, QString()} << u"Ctrl+Alt+T"_qs << QString() << u"全局快捷键：Ctrl+Alt+T"_qs << false;
        QTest::newRow("the screen text's key: its own setting goes back")
            << QStringList{QString(), no} << u"Ctrl+Alt+J"_qs << QString() << no << true;
        QTest::newRow("the screen text's key: bound under its own name")
            << QStringList{held, QString()} << u"Ctrl+Alt+T"_qs << QString() << u"截图翻译快捷键：Ctrl+Alt+T"_qs
            << true;
    }
    void keepsTheSettingHonest()
    {
        QFETCH(QStringList, outcomes);
        QFETCH(bool, screenText);
        TemporaryConfig config;
        AppSettings &settings = config.settings();
        const auto setKeys = screenText ? &AppSettings::setScreenTextShortcut : &AppSettings::setGlobalShortcut;
        (settings.*setKeys)(u"Ctrl+Alt+J"_qs);
        QStringList asked;
        GlobalShortcut shortcut(settings, std::make_unique<ScriptedBackend>(outcomes, asked),
                                screenText ? GlobalShortcut::Purpose::ScreenText : GlobalShortcut::Purpose::Selection);
        QSignalSpy reports(&shortcut, &GlobalShortcut::reported);
        shortcut.start();
        QTRY_COMPARE(reports.count(), 1);
        if (outcomes.size() > 1) {
            (settings.*setKeys)(u"Ctrl+Alt+T"_qs);
            QTRY_COMPARE(reports.count(), 2);
        }
        QTest::qWait(0);
        QTEST(screenText ? settings.screenTextShortcut() : settings.globalShortcut(), "setting");
        QTEST(shortcut.startFailure(), "startFailure");
        QTEST(reports.constLast().at(1).toString(), "reported");
        QCOMPARE(asked, QStringList({u"Ctrl+Alt+J"_qs, u"Ctrl+Alt+T"_qs}).mid(0, outcomes.size())); // no rebind loop
    }
};

QTEST_GUILESS_MAIN(TestGlobalShortcut)
#include "tst_globalshortcut.moc"
