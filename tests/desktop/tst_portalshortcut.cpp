#include "desktop/portalshortcut.h"

#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <tuple>

namespace {

// The GlobalShortcuts portal stand-in for the lifetime of the object.
class PortalStandIn final
{
public:
    explicit PortalStandIn(const QStringList &switches = {})
    {
        m_process.start(u"/usr/bin/python3"_qs,
                        QStringList{QStringLiteral(QT_TESTCASE_SOURCEDIR "/../support/desktopservices.py")} + switches);
        waitFor(u"ready"_qs); // it owns the portal's name
    }
    ~PortalStandIn()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished();
    }
    Q_DISABLE_COPY_MOVE(PortalStandIn)

    // The next call it received whose line starts with `prefix`, after the ones returned before; waits for it.
    QString waitFor(const QString &prefix)
    {
        QString found;
        std::ignore = QTest::qWaitFor([&] {
            m_output += m_process.readAllStandardOutput();
            const QStringList all = QString::fromUtf8(m_output).split(u'\n', Qt::SkipEmptyParts);
            for (; m_next < all.size() && found.isEmpty(); ++m_next)
                found = all.at(m_next).startsWith(prefix) ? all.at(m_next) : QString();
            return !found.isEmpty();
        });
        return found;
    }
    void send(const QByteArray &command) { m_process.write(command + '\n'); }

private:
    QProcess m_process;
    QByteArray m_output;
    qsizetype m_next = 0;
};

} // namespace

class TestPortalShortcut : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void triggerNamesTheKeysAsTheDesktopDoes_data();
    void triggerNamesTheKeysAsTheDesktopDoes();
    void bindsActivatesFollowsAndReleases_data();
    void bindsActivatesFollowsAndReleases();
};

void TestPortalShortcut::triggerNamesTheKeysAsTheDesktopDoes_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("trigger");
    QTest::newRow("letter") << u"Ctrl+Alt+Y"_qs << u"CTRL+ALT+y"_qs;
    QTest::newRow("super and shift") << u"Meta+Shift+F5"_qs << u"SHIFT+LOGO+F5"_qs;
    QTest::newRow("digit") << u"Ctrl+5"_qs << u"CTRL+5"_qs;
    QTest::newRow("space") << u"Ctrl+Space"_qs << u"CTRL+space"_qs;
    QTest::newRow("punctuation") << u"Alt+/"_qs << u"ALT+slash"_qs;
    QTest::newRow("named key") << u"Ctrl+Alt+PgDown"_qs << u"CTRL+ALT+Page_Down"_qs;
    QTest::newRow("shift+tab") << u"Shift+Backtab"_qs << u"SHIFT+Tab"_qs;
    QTest::newRow("second chord ignored") << u"Ctrl+K, Ctrl+T"_qs << u"CTRL+k"_qs;
    QTest::newRow("key without a name") << u"Ctrl+Alt+Ö"_qs << QString();
}

void TestPortalShortcut::triggerNamesTheKeysAsTheDesktopDoes()
{
    QFETCH(QString, keys);
    QFETCH(QString, trigger);
    QCOMPARE(PortalShortcut::trigger(QKeySequence(keys)), trigger);
}

void TestPortalShortcut::bindsActivatesFollowsAndReleases_data()
{
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("registered first") << QStringList() << QString();
    QTest::newRow("portal without the registry") << QStringList{u"--no-registry"_qs} << QString();
    QTest::newRow("user cancelled") << QStringList{u"--refuse"_qs} << u"桌面拒绝了快捷键：绑定被取消了。"_qs;
}

void TestPortalShortcut::bindsActivatesFollowsAndReleases()
{
    QFETCH(QStringList, switches);
    QFETCH(QString, refusal);
    QVERIFY(!PortalShortcut::isAvailable());
    PortalStandIn portal(switches);
    QVERIFY(PortalShortcut::isAvailable());
    PortalShortcut shortcut;
    QSignalSpy bound(&shortcut, &ShortcutBackend::bound);
    QSignalSpy failed(&shortcut, &ShortcutBackend::failed);
    QSignalSpy activated(&shortcut, &ShortcutBackend::activated);
    const auto bindLine = u"BindShortcuts %1 translate-selection %2 翻译选中的文字"_qs;

    shortcut.bind(QKeySequence(u"Ctrl+Alt+Y"_qs));
    // Portals refuse sessions of programs that have not registered their id first.
    if (!switches.contains(u"--no-registry"_qs))
        QCOMPARE(portal.waitFor(u"Register"_qs), u"Register com.quendrix.tolvanis"_qs);
    const QString first = portal.waitFor(u"CreateSession"_qs).section(u' ', 1);
    QCOMPARE(portal.waitFor(u"BindShortcuts"_qs), bindLine.arg(first, u"CTRL+ALT+y"_qs));
    if (!refusal.isEmpty()) {
        QTRY_COMPARE(failed.count(), 1);
        QCOMPARE(failed.constFirst().constFirst().toString(), refusal);
        QCOMPARE(bound.count(), 0);
        return;
    }
    QTRY_COMPARE(bound.count(), 1);
    QCOMPARE(bound.constFirst().constFirst().toString(), u"Press CTRL+ALT+y"_qs);

    // A session binds once: another combination takes a new session.
    shortcut.bind(QKeySequence(u"Ctrl+Alt+T"_qs));
    QCOMPARE(portal.waitFor(u"Close"_qs), u"Close "_qs + first);
    const QString second = portal.waitFor(u"CreateSession"_qs).section(u' ', 1);
    QTRY_COMPARE(bound.count(), 2);
    QCOMPARE(portal.waitFor(u"BindShortcuts"_qs), bindLine.arg(second, u"CTRL+ALT+t"_qs));

    portal.send("activate token-42");
    QTRY_COMPARE(activated.count(), 1);
    QCOMPARE(activated.constFirst().constFirst().toString(), u"token-42"_qs);
    portal.send("retrigger Super+T"); // the user picked other keys in the desktop's settings
    QTRY_COMPARE(bound.count(), 3);
    QCOMPARE(bound.constLast().constFirst().toString(), u"Super+T"_qs);

    shortcut.bind({});
    QCOMPARE(portal.waitFor(u"Close"_qs), u"Close "_qs + second);
    QTRY_COMPARE(bound.count(), 4);
    QCOMPARE(failed.count(), 0);
    // The desktop ends the session (the user revoked it in its settings).
    shortcut.bind(QKeySequence(u"Ctrl+Alt+Y"_qs));
    QTRY_COMPARE(bound.count(), 5);
    portal.send("close");
    QTRY_COMPARE(failed.count(), 1);
}

QTEST_GUILESS_MAIN(TestPortalShortcut)
#include "tst_portalshortcut.moc"
