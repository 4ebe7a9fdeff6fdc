#include "enginekind.h"
#include "llmprovider.h"
#include "translationdirection.h"
#include "translationerror.h"

#include <QtTest>

class TestCoreTypes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // --- raw values and labels
    void rawValuesAndLabelsInDeclarationOrder();
    void onlyExactRawValuesConvert_data();
    void onlyExactRawValuesConvert();
    void directionCyclesAndWraps();

    // --- errors
    void errorDescriptions_data();
    void errorDescriptions();
    void whatCarriesTheDescription();
};

void TestCoreTypes::rawValuesAndLabelsInDeclarationOrder()
{
    QStringList raws;
    QStringList labels;
    for (const auto d : allCases<TranslationDirection>()) {
        raws << rawValue(d);
        labels << displayName(d);
    }
    QCOMPARE(raws, QStringList({"auto", "zhToEn", "enToZh"}));
    // The arrow is U+2192 with one ordinary space on each side.
    QCOMPARE(labels, QStringList({u"自动识别"_qs, u"中 \u2192 英"_qs, u"英 \u2192 中"_qs}));

    raws.clear();
    labels.clear();
    for (const auto e : allCases<EngineKind>()) {
        raws << rawValue(e);
        labels << displayName(e);
    }
    QCOMPARE(raws, QStringList({"system", "llm"}));
    QCOMPARE(labels, QStringList({u"系统离线"_qs, u"LLM"_qs}));

    raws.clear();
    labels.clear();
    for (const auto p : allCases<LLMProvider>()) {
        raws << rawValue(p);
        labels << displayName(p);
    }
    QCOMPARE(raws, QStringList({"anthropic", "openAICompatible"}));
    QCOMPARE(labels, QStringList({u"Anthropic"_qs, u"OpenAI 兼容"_qs}));
}

void TestCoreTypes::onlyExactRawValuesConvert_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<bool>("isDirection");
    QTest::addColumn<bool>("isEngine");
    QTest::addColumn<bool>("isProvider");

    QTest::newRow("auto") << "auto" << true << false << false;
    QTest::newRow("AUTO") << "AUTO" << false << false << false;
    QTest::newRow("leading space") << " auto" << false << false << false;
    QTest::newRow("empty") << "" << false << false << false;
    QTest::newRow("label is not a raw value") << u"自动识别"_qs << false << false << false;
    QTest::newRow("system") << "system" << false << true << false;
    QTest::newRow("System") << "System" << false << false << false;
    QTest::newRow("llm") << "llm" << false << true << false;
    QTest::newRow("LLM label") << "LLM" << false << false << false;
    QTest::newRow("openAICompatible") << "openAICompatible" << false << false << true;
    QTest::newRow("openaicompatible") << "openaicompatible" << false << false << false;
}

void TestCoreTypes::onlyExactRawValuesConvert()
{
    QFETCH(QString, raw);
    QFETCH(bool, isDirection);
    QFETCH(bool, isEngine);
    QFETCH(bool, isProvider);

    QCOMPARE(fromRawValue<TranslationDirection>(raw).has_value(), isDirection);
    QCOMPARE(fromRawValue<EngineKind>(raw).has_value(), isEngine);
    QCOMPARE(fromRawValue<LLMProvider>(raw).has_value(), isProvider);
    if (isEngine)
        QCOMPARE(rawValue(*fromRawValue<EngineKind>(raw)), raw);
}

void TestCoreTypes::directionCyclesAndWraps()
{
    auto d = TranslationDirection::Auto;
    d = nextDirection(d);
    QCOMPARE(d, TranslationDirection::ZhToEn);
    d = nextDirection(d);
    QCOMPARE(d, TranslationDirection::EnToZh);
    d = nextDirection(d);
    QCOMPARE(d, TranslationDirection::Auto);
}

void TestCoreTypes::errorDescriptions_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("description");

    using K = TranslationError::Kind;
    // Full-width colon U+FF1A, no space on either side; the message appended unchanged.
    QTest::newRow("network, empty message") << int(K::Network) << "" << u"网络请求失败\uFF1A"_qs;
    QTest::newRow("network, abc") << int(K::Network) << "abc" << u"网络请求失败\uFF1Aabc"_qs;
    QTest::newRow("network, blanks kept") << int(K::Network) << " HTTP 500 " << u"网络请求失败\uFF1A HTTP 500 "_qs;
    QTest::newRow("emptyInput") << int(K::EmptyInput) << "" << u"请输入要翻译的文字"_qs;
    QTest::newRow("apiKeyMissing") << int(K::ApiKeyMissing) << "" << u"尚未配置 API Key，请前往设置填写"_qs;
    QTest::newRow("timeout") << int(K::Timeout) << "" << u"请求超时，请稍后重试"_qs;
    QTest::newRow("invalidResponse") << int(K::InvalidResponse) << "" << u"翻译服务返回了无法识别的结果"_qs;
    QTest::newRow("unsupportedLanguagePack")
        << int(K::UnsupportedLanguagePack) << "" << u"系统翻译语言包尚未就绪，请前往系统设置下载"_qs;
}

static TranslationError makeError(TranslationError::Kind kind, const QString &message)
{
    using K = TranslationError::Kind;
    switch (kind) {
    case K::Network:
        return TranslationError::network(message);
    case K::EmptyInput:
        return TranslationError::emptyInput();
    case K::ApiKeyMissing:
        return TranslationError::apiKeyMissing();
    case K::Timeout:
        return TranslationError::timeout();
    case K::InvalidResponse:
        return TranslationError::invalidResponse();
    case K::UnsupportedLanguagePack:
        return TranslationError::unsupportedLanguagePack();
    }
    return TranslationError::invalidResponse();
}

void TestCoreTypes::errorDescriptions()
{
    QFETCH(int, kind);
    QFETCH(QString, message);
    QFETCH(QString, description);

    const TranslationError error = makeError(TranslationError::Kind(kind), message);
    QCOMPARE(error.errorDescription(), description);
}

void TestCoreTypes::whatCarriesTheDescription()
{
    // Callers that only know std::exception still get the user-facing text.
    const std::exception &error = TranslationError::network(u"连接被拒绝"_qs);
    QCOMPARE(QString::fromUtf8(error.what()), u"网络请求失败：连接被拒绝"_qs);
}

QTEST_GUILESS_MAIN(TestCoreTypes)
#include "tst_coretypes.moc"
