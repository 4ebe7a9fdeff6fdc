#include "settingsview.h"

#include "appsettings.h"
#include "hairline.h"
#include "keyrecorder.h"
#include "overlayscrollbars.h"
#include "popuppicker.h"
#include "roundedtextfield.h"
#include "segmentedpicker.h"
#include "switchtoggle.h"
#include "symbollabel.h"
#include "titledcard.h"
#include "button.h"
#include "fonts.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPropertyAnimation>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

using namespace Widgets;

namespace {

constexpr int fadeMs = 300;

std::size_t slot(ApiKeyAccount account)
{
    return account == ApiKeyAccount::Anthropic ? 0 : 1;
}

template <typename E>
int indexOf(E value)
{
    const auto cases = allCases<E>();
    return int(std::find(cases.begin(), cases.end(), value) - cases.begin());
}

template <typename E>
QStringList displayNames()
{
    QStringList names;
    for (E value : allCases<E>())
        names.append(displayName(value));
    return names;
}

QString failureText(const QString &prefix, const QString &reason)
{
    return prefix + (reason.isEmpty() ? QStringLiteral("未知错误") : reason);
}

QVBoxLayout *column(QWidget *host, int spacing)
{
    auto *layout = new QVBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QLabel *rowLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(Fonts::system(12));
    return label;
}

} // namespace

SettingsView::SettingsView(AppSettings &settings, KeyStore &secrets, QWidget *parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_secrets(secrets)
{
    setFixedSize(viewWidth, viewHeight);
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    setStyleSheet(OverlayScrollBars::styleSheet());

    auto *page = new QWidget;
    auto *pageColumn = new QVBoxLayout(page);
    pageColumn->setContentsMargins(16, 16, 16, 16);
    pageColumn->setSpacing(16);
    pageColumn->addWidget(buildLanguageModelCard(page));
    pageColumn->addWidget(buildGeneralCard(page));
    pageColumn->addWidget(buildStatusLine(page));
    pageColumn->addStretch(1);
    m_scroll = OverlayScrollBars::transparentScrollArea(page, this);
    m_scroll->setObjectName(QStringLiteral("settingsScroll"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scroll);
    // The page grows when the status line appears, and only later, once the
    // layout has run, does the scroll range follow.
    connect(m_scroll->verticalScrollBar(), &QAbstractSlider::rangeChanged, this, [this] {
        if (m_statusMessage)
            revealStatus();
    });

    connectSettings();
}

SettingsView::~SettingsView() = default;

TitledCard *SettingsView::sectionCard(const QString &title, Symbol icon, QWidget *parent)
{
    auto *card = new TitledCard(title, TitledCard::section(), parent);
    card->setIcon(icon);
    return card;
}

QWidget *SettingsView::fieldRow(const QString &title, QWidget *field, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = column(row, 4);
    auto *label = new SymbolLabel(std::nullopt, title, row);
    label->setTextFont(Fonts::monospaced(11, QFont::Medium));
    label->setForeground(Foreground::Secondary);
    layout->addWidget(label);
    field->setParent(row);
    field->setAccessibleName(title);
    layout->addWidget(field);
    return row;
}

QLayout *SettingsView::saveClearRow(ApiKeyAccount account, QWidget *parent)
{
    KeyEditor &key = editor(account);
    const QString prefix = account == ApiKeyAccount::Anthropic ? QStringLiteral("anthropic") : QStringLiteral("openAI");
    key.clear = new Button(Button::Kind::Bordered, QStringLiteral("清除"), parent);
    key.clear->setObjectName(prefix + QStringLiteral("ClearButton"));
    key.save = new Button(Button::Kind::Prominent, QStringLiteral("保存"), parent);
    key.save->setObjectName(prefix + QStringLiteral("SaveButton"));
    key.save->setEnabled(!key.field->text().isEmpty());
    // Not awaited: each press finishes on its own and reports in the status line.
    connect(key.clear, &QAbstractButton::clicked, this, [this, account] { clearKey(account); });
    connect(key.save, &QAbstractButton::clicked, this, [this, account] { saveKey(account); });

    auto *row = new QHBoxLayout;
    row->setSpacing(8);
    row->addStretch(1);
    row->addWidget(key.clear);
    row->addWidget(key.save);
    return row;
}

SymbolLabel *SettingsView::hint(const QString &text, QWidget *parent)
{
    auto *label = new SymbolLabel(std::nullopt, text, parent);
    label->setTextFont(Fonts::system(10));
    label->setForeground(Foreground::Secondary);
    return label;
}

RoundedTextField *SettingsView::keyField(ApiKeyAccount account, const QString &placeholder, QWidget *parent)
{
    KeyEditor &key = editor(account);
    key.field = new RoundedTextField(parent);
    key.field->setObjectName(account == ApiKeyAccount::Anthropic ? QStringLiteral("anthropicKeyField")
                                                                   : QStringLiteral("openAIKeyField"));
    key.field->setEchoMode(QLineEdit::Password);
    key.field->setPlaceholderText(placeholder);
    connect(key.field, &QLineEdit::textEdited, this, [this, account] { ++editor(account).revision; });
    connect(key.field, &QLineEdit::textChanged, this,
            [this, account](const QString &text) { editor(account).save->setEnabled(!text.isEmpty()); });
    return key.field;
}

RoundedTextField *SettingsView::settingField(const QString &placeholder, QWidget *parent)
{
    auto *field = new RoundedTextField(parent);
    field->setPlaceholderText(placeholder);
    field->setFont(Fonts::monospaced(12));
    return field;
}

TitledCard *SettingsView::buildLanguageModelCard(QWidget *parent)
{
    TitledCard *card = sectionCard(QStringLiteral("LLM 引擎"), Symbol::Sparkles, parent);
    card->setObjectName(QStringLiteral("languageModelCard"));
    QWidget *body = card->surface();

    m_providerPicker = new SegmentedPicker(displayNames<LLMProvider>(), body);
    m_providerPicker->setObjectName(QStringLiteral("providerPicker"));
    m_providerPicker->setAccessibleName(QStringLiteral("LLM 引擎"));
    connect(m_providerPicker, &SegmentedPicker::activated, this,
            [this](int index) { m_settings.setLLMProvider(allCases<LLMProvider>().at(index)); });
    card->bodyLayout()->addWidget(m_providerPicker);

    m_anthropicRows = buildAnthropicRows(body);
    m_openAIRows = buildOpenAIRows(body);
    card->bodyLayout()->addWidget(m_anthropicRows);
    card->bodyLayout()->addWidget(m_openAIRows);
    return card;
}

QWidget *SettingsView::buildAnthropicRows(QWidget *parent)
{
    auto *rows = new QWidget(parent);
    rows->setObjectName(QStringLiteral("anthropicRows"));
    auto *layout = column(rows, 10);
    layout->addWidget(fieldRow(QStringLiteral("API Key"),
                               keyField(ApiKeyAccount::Anthropic, QStringLiteral("Anthropic API Key"), rows), rows));
    layout->addLayout(saveClearRow(ApiKeyAccount::Anthropic, rows));
    layout->addWidget(hint(QStringLiteral("模型固定为 claude-sonnet-4-6"), rows));
    return rows;
}

QWidget *SettingsView::buildOpenAIRows(QWidget *parent)
{
    auto *rows = new QWidget(parent);
    rows->setObjectName(QStringLiteral("openAIRows"));
    auto *layout = column(rows, 10);

    m_baseURLField = settingField(AppSettings::defaultOpenAIBaseURL(), rows);
    m_baseURLField->setObjectName(QStringLiteral("baseURLField"));
    connect(m_baseURLField, &QLineEdit::textEdited, this, [this](const QString &text) { m_settings.setOpenAIBaseURL(text); });
    layout->addWidget(fieldRow(QStringLiteral("Base URL"), m_baseURLField, rows));

    m_modelField = settingField(QStringLiteral("gpt-4o-mini"), rows);
    m_modelField->setObjectName(QStringLiteral("modelField"));
    connect(m_modelField, &QLineEdit::textEdited, this, [this](const QString &text) { m_settings.setOpenAIModel(text); });
    layout->addWidget(fieldRow(QStringLiteral("模型名称"), m_modelField, rows));

    layout->addWidget(fieldRow(QStringLiteral("API Key"),
                               keyField(ApiKeyAccount::OpenAICompatible, QStringLiteral("API Key"), rows), rows));
    layout->addLayout(saveClearRow(ApiKeyAccount::OpenAICompatible, rows));
    layout->addWidget(hint(QStringLiteral("兼容任何 OpenAI Chat Completions 接口：OpenAI 官方、Azure OpenAI、"
                                          "DeepSeek、Ollama/LM Studio 本地代理等"),
                           rows));
    return rows;
}

TitledCard *SettingsView::buildGeneralCard(QWidget *parent)
{
    TitledCard *card = sectionCard(QStringLiteral("通用"), Symbol::Gearshape, parent);
    card->setObjectName(QStringLiteral("generalCard"));
    QWidget *body = card->surface();

    auto *engineRow = new QHBoxLayout;
    QLabel *engineLabel = rowLabel(QStringLiteral("默认引擎"), body);
    engineRow->addWidget(engineLabel);
    engineRow->addStretch(1);
    m_defaultEnginePicker = new PopUpPicker(body);
    m_defaultEnginePicker->setObjectName(QStringLiteral("defaultEnginePicker"));
    // A combo box's accessible name is its current choice; its label names it.
    engineLabel->setBuddy(m_defaultEnginePicker);
    m_defaultEnginePicker->addItems(displayNames<EngineKind>());
    m_defaultEnginePicker->setFixedWidth(140);
    connect(m_defaultEnginePicker, &QComboBox::activated, this,
            [this](int index) { m_settings.setDefaultEngine(allCases<EngineKind>().at(index)); });
    engineRow->addWidget(m_defaultEnginePicker);
    card->bodyLayout()->addLayout(engineRow);

    card->bodyLayout()->addWidget(new HairLine(body));

    auto *shortcutRow = new QHBoxLayout;
    shortcutRow->setSpacing(8);
    QLabel *shortcutLabel = rowLabel(QStringLiteral("快捷键"), body);
    shortcutRow->addWidget(shortcutLabel);
    shortcutRow->addStretch(1);
    m_shortcutRecorder = new KeyRecorder(body);
    m_shortcutRecorder->setObjectName(QStringLiteral("shortcutRecorder"));
    m_shortcutRecorder->setAccessibleName(QStringLiteral("快捷键"));
    shortcutLabel->setBuddy(m_shortcutRecorder);
    connect(m_shortcutRecorder, &KeyRecorder::keySequenceEdited, this, [this](const QKeySequence &keys) {
        m_settings.setGlobalShortcut(keys.toString(QKeySequence::PortableText));
    });
    shortcutRow->addWidget(m_shortcutRecorder);
    m_shortcutOff = new Button(Button::Kind::Bordered, QStringLiteral("关闭"), body);
    m_shortcutOff->setObjectName(QStringLiteral("shortcutOffButton"));
    m_shortcutOff->setAccessibleName(QStringLiteral("关闭快捷键"));
    connect(m_shortcutOff, &QAbstractButton::clicked, this, [this] { m_settings.setGlobalShortcut(QString()); });
    shortcutRow->addWidget(m_shortcutOff);
    card->bodyLayout()->addLayout(shortcutRow);
    m_shortcutHint = hint(QStringLiteral("在任意程序中选中文字后按下，即可翻译"), body);
    card->bodyLayout()->addWidget(m_shortcutHint);

    card->bodyLayout()->addWidget(new HairLine(body));

    auto *loginRow = new QHBoxLayout;
    loginRow->addWidget(rowLabel(QStringLiteral("登录时启动"), body));
    loginRow->addStretch(1);
    m_launchAtLoginSwitch = new SwitchToggle(body);
    m_launchAtLoginSwitch->setObjectName(QStringLiteral("launchAtLoginSwitch"));
    m_launchAtLoginSwitch->setAccessibleName(QStringLiteral("登录时启动"));
    connect(m_launchAtLoginSwitch, &QAbstractButton::clicked, this,
            [this](bool checked) { m_settings.setLaunchAtLogin(checked); });
    loginRow->addWidget(m_launchAtLoginSwitch);
    card->bodyLayout()->addLayout(loginRow);
    return card;
}

SymbolLabel *SettingsView::buildStatusLine(QWidget *parent)
{
    m_statusLine = new SymbolLabel(Symbol::CheckmarkCircleFill, QString(), parent);
    m_statusLine->setObjectName(QStringLiteral("statusLine"));
    m_statusLine->setTextFont(Fonts::system(11, QFont::Medium));
    m_statusLine->setSymbolWeight(SymbolWeight::Medium);
    m_statusLine->hide();
    m_statusOpacity = new QGraphicsOpacityEffect(m_statusLine);
    m_statusOpacity->setOpacity(0);
    m_statusLine->setGraphicsEffect(m_statusOpacity);
    m_statusFade = new QPropertyAnimation(m_statusOpacity, "opacity", this);
    m_statusFade->setDuration(fadeMs);
    m_statusFade->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_statusFade, &QPropertyAnimation::finished, this, [this] {
        if (!m_statusMessage)
            m_statusLine->hide();
        else
            // Fully shown: drawn directly, not through the effect's pixmap.
            m_statusOpacity->setEnabled(false);
    });
    return m_statusLine;
}

void SettingsView::connectSettings()
{
    connect(&m_settings, &AppSettings::llmProviderChanged, this, &SettingsView::syncProvider);
    connect(&m_settings, &AppSettings::openAIBaseURLChanged, this, &SettingsView::syncBaseURL);
    connect(&m_settings, &AppSettings::openAIModelChanged, this, &SettingsView::syncModel);
    connect(&m_settings, &AppSettings::defaultEngineChanged, this, &SettingsView::syncDefaultEngine);
    connect(&m_settings, &AppSettings::launchAtLoginChanged, this, &SettingsView::syncLaunchAtLogin);
    connect(&m_settings, &AppSettings::globalShortcutChanged, this, &SettingsView::syncGlobalShortcut);
    connect(&m_settings, &AppSettings::launchAtLoginFailed, this, [this](const QString &reason) {
        showStatus(failureText(QStringLiteral("登录项更新失败："), reason), Outcome::Failed);
    });
    syncProvider();
    syncBaseURL();
    syncModel();
    syncDefaultEngine();
    syncLaunchAtLogin();
    syncGlobalShortcut();
}

void SettingsView::reportShortcut(bool bound, const QString &text)
{
    showStatus(text, bound ? Outcome::Done : Outcome::Failed);
}

void SettingsView::setShortcutUnavailable()
{
    m_shortcutRecorder->setEnabled(false);
    syncGlobalShortcut();
    m_shortcutHint->setText(QStringLiteral("此桌面不支持全局快捷键，请在系统设置中为 tolvanis --selection 添加自定义快捷键"));
}

SettingsView::KeyEditor &SettingsView::editor(ApiKeyAccount account)
{
    return m_keys.at(slot(account));
}

const SettingsView::KeyEditor &SettingsView::editor(ApiKeyAccount account) const
{
    return m_keys.at(slot(account));
}

QString SettingsView::keyInput(ApiKeyAccount account) const
{
    return editor(account).field->text();
}

void SettingsView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Each time the window comes on screen, not when it is restored.
    if (event->spontaneous())
        return;
    const quint64 generation = ++m_loadGeneration;
    for (ApiKeyAccount account : allCases<ApiKeyAccount>())
        loadKey(account, generation);
}

// Fills the key field with the stored key unless, by the time the store
// answers, a later showing has asked again or the user has changed the field.
QCoro::Task<> SettingsView::loadKey(ApiKeyAccount account, quint64 generation)
{
    const QPointer<SettingsView> self(this);
    const quint64 revision = editor(account).revision;
    auto asked = m_secrets.load(account);
    const SecretLookup found = co_await std::move(asked);
    if (!self || generation != m_loadGeneration || revision != editor(account).revision)
        co_return;
    if (!found.failure.isEmpty()) {
        // The field keeps what it held: an empty field would read as "no key
        // stored" and invite the user to enter it again.
        showStatus(failureText(QStringLiteral("读取失败："), found.failure), Outcome::Failed);
        co_return;
    }
    editor(account).field->setText(found.value.value_or(QString()));
}

QCoro::Task<> SettingsView::saveKey(ApiKeyAccount account)
{
    const QPointer<SettingsView> self(this);
    // Exactly as typed: white space is part of what the user entered.
    const QString key = editor(account).field->text();
    if (const std::optional<QString> defect = apiKeyDefect(key)) {
        showStatus(failureText(QStringLiteral("保存失败："), *defect), Outcome::Failed);
        co_return;
    }
    auto saving = m_secrets.save(key, account);
    const SecretWriteResult result = co_await std::move(saving);
    if (!self)
        co_return;
    if (result.succeeded)
        showStatus(QStringLiteral("已保存到 Keychain"), Outcome::Done);
    else
        showStatus(failureText(QStringLiteral("保存失败："), result.reason), Outcome::Failed);
}

QCoro::Task<> SettingsView::clearKey(ApiKeyAccount account)
{
    const QPointer<SettingsView> self(this);
    // A load still under way must not put back the key being removed.
    const quint64 revision = ++editor(account).revision;
    auto removing = m_secrets.remove(account);
    const SecretWriteResult result = co_await std::move(removing);
    if (!self)
        co_return;
    if (!result.succeeded) {
        // The key is still stored, so the field keeps showing it.
        showStatus(failureText(QStringLiteral("清除失败："), result.reason), Outcome::Failed);
        co_return;
    }
    // What the user typed after pressing "清除" is new and stays.
    if (revision == editor(account).revision)
        editor(account).field->clear();
    showStatus(QStringLiteral("已清除"), Outcome::Done);
}

void SettingsView::showStatus(const QString &text, Outcome outcome)
{
    m_statusMessage = text;
    m_statusLine->setText(text);
    m_statusLine->setSymbol(outcome == Outcome::Done ? Symbol::CheckmarkCircleFill : Symbol::ExclamationmarkTriangleFill);
    m_statusLine->setForeground(outcome == Outcome::Done ? Foreground::Green : Foreground::Red);
    fadeStatus(true);
    // Each message has its own removal: a later message neither cancels nor
    // postpones it, and it removes only a line that still shows its text.
    // A precise timer: Qt makes timers of 2 s and more coarse, and a coarse
    // one may fire up to 5 % early.
    QTimer::singleShot(statusDurationMs, Qt::PreciseTimer, this, [this, text] {
        if (m_statusMessage == text) {
            m_statusMessage.reset();
            fadeStatus(false);
        }
    });
}

// Below a long card the status line may lie outside the visible part.
void SettingsView::revealStatus()
{
    m_scroll->ensureWidgetVisible(m_statusLine, 0, 16);
}

void SettingsView::fadeStatus(bool in)
{
    m_statusFade->stop();
    m_statusOpacity->setEnabled(true);
    m_statusFade->setStartValue(m_statusLine->isHidden() ? 0.0 : m_statusOpacity->opacity());
    m_statusFade->setEndValue(in ? 1.0 : 0.0);
    if (in)
        m_statusLine->show();
    m_statusFade->start();
}

void SettingsView::syncProvider()
{
    const LLMProvider provider = m_settings.llmProvider();
    m_providerPicker->setCurrentIndex(indexOf(provider));
    m_anthropicRows->setVisible(provider == LLMProvider::Anthropic);
    m_openAIRows->setVisible(provider == LLMProvider::OpenAICompatible);
}

void SettingsView::syncBaseURL()
{
    // Only a change made elsewhere; resetting the text would move the cursor.
    if (m_baseURLField->text() != m_settings.openAIBaseURL())
        m_baseURLField->setText(m_settings.openAIBaseURL());
}

void SettingsView::syncModel()
{
    if (m_modelField->text() != m_settings.openAIModel())
        m_modelField->setText(m_settings.openAIModel());
}

void SettingsView::syncDefaultEngine()
{
    m_defaultEnginePicker->setCurrentIndex(indexOf(m_settings.defaultEngine()));
}

void SettingsView::syncLaunchAtLogin()
{
    m_launchAtLoginSwitch->setChecked(m_settings.launchAtLogin());
}

void SettingsView::syncGlobalShortcut()
{
    const QKeySequence keys = QKeySequence::fromString(m_settings.globalShortcut(), QKeySequence::PortableText);
    m_shortcutRecorder->setKeySequence(keys);
    m_shortcutOff->setEnabled(m_shortcutRecorder->isEnabled() && !keys.isEmpty());
}
