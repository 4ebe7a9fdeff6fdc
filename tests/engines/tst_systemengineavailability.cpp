#include "systemengine.h"
#include "systemenginefactory.h"
#include "systemtranslationbridge.h"
#include "taskoutcome.h"
#include "translatelocallystandin.h"
#include "translationerror.h"
#include "unavailableengine.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSystemEngineAvailability : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void choosesEngineByPath_data();
    void choosesEngineByPath();
};

void TestSystemEngineAvailability::choosesEngineByPath_data()
{
    QTest::addColumn<QString>("path"); // "<standin>" and "<plain file>" are filled in below
    QTest::addColumn<bool>("available");
    QTest::newRow("empty PATH") << "" << false;
    QTest::newRow("not executable") << "<plain file>" << false;
    QTest::newRow("installed") << "<standin>" << true;
}

void TestSystemEngineAvailability::choosesEngineByPath()
{
    QFETCH(QString, path);
    QFETCH(bool, available);
    TranslateLocallyStandIn standIn;
    QTemporaryDir plain;
    QFile file(plain.filePath(QStringLiteral("translateLocally")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    path.replace(QStringLiteral("<standin>"), TranslateLocallyStandIn::directory());
    path.replace(QStringLiteral("<plain file>"), plain.path());
    qputenv("PATH", path.toLocal8Bit());

    QCOMPARE(SystemEngine::isAvailable(), available);
    const std::shared_ptr<SystemTranslationBridge> bridge = SystemEngineFactory::makeBridge();
    QCOMPARE(bool(bridge), available);
    const std::shared_ptr<TranslationEngine> engine = SystemEngineFactory::makeEngine(bridge);
    QCOMPARE(engine->name(), QStringLiteral("系统离线"));
    // Deciding never starts the program: start-up must not wait for it.
    QVERIFY(standIn.starts().isEmpty());

    if (!available) {
        const auto error = outcomeOf(engine->translate(QStringLiteral("你好"), QStringLiteral("中文"),
                                                       QStringLiteral("英文")))
                               .errorAs<TranslationError>();
        QVERIFY(error);
        QCOMPARE(error->errorDescription(), QStringLiteral("网络请求失败：系统翻译需要安装 translateLocally"));
    }
}

QTEST_GUILESS_MAIN(TestSystemEngineAvailability)
#include "tst_systemengineavailability.moc"
