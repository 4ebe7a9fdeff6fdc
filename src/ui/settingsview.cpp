#include "ui/settingsview.h"

#include "storage/appsettings.h"
#include "ui/apikeyrow.h"
#include "ui/statusline.h"
#include "widgets/button.h"
#include "widgets/fonts.h"
#include "widgets/hairline.h"
#include "widgets/keyrecorder.h"
#include "widgets/overlayscrollbars.h"
#include "widgets/popuppicker.h"
#include "widgets/roundedtextfield.h"
#include "widgets/segmentedpicker.h"
#include "widgets/switchtoggle.h"
#include "widgets/symbollabel.h"
#include "widgets/titledcard.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

#include <arpa/inet.h>

using namespace Widgets;

namespace {

template<typename E>
int indexOf(E value)
{
    const auto cases = allCases<E>();
    return int(std::find(cases.begin(), cases.end(), value) - cases.begin());
}

template<typename E>
QStringList displayNames()
{
    QStringList names;
    for (E value : allCases<E>())
        names.append(displayName(value));
    return names;
}

QVBoxLayout *column(QWidget *host, int spacing)
{
    auto *layout = new QVBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

// Whether a URL's host (an IPv6 address comes without brackets) is an address
// of this machine: 127.0.0.0/8, ::1 in any zone, or 127.x mapped into IPv6.
// QUrl has already turned short forms such as 127.1 into dotted quads. By
// hand, as Qt Network's address class would load that library and its own
// dependencies at start-up.
bool isLoopbackAddress(const QString &host)
{
    const QByteArray address = host.section(u'%', 0, 0).toLatin1();
    in_addr v4{};
    if (inet_pton(AF_INET, address.constData(), &v4) == 1)
        return ntohl(v4.s_addr) >> 24 == 127;
    in6_addr v6{};
    return inet_pton(AF_INET6, address.constData(), &v6) == 1 &&
        (IN6_IS_ADDR_LOOPBACK(&v6) || (IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127));
}

// Plain http to another machine (a model server on the LAN is common) carries
// the key in clear for anyone on the way to read.
bool sendsKeyInClear(const QString &baseURL)
{
    const QUrl url(baseURL.trimmed());
    const QString host = url.host().toLower();
    if (url.scheme().toLower() != u"http" || host.isEmpty())
        return false;
    return host != u"localhost" && !host.endsWith(u".localhost") && !isLoopbackAddress(host);
}

QLabel *rowLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(Fonts::system(12));
    return label;
}

// A shortcut row: its label, the recorder the label names, and 关闭. The
// object names are `name` + "Recorder" and `name` + "OffButton".
struct ShortcutRow {
    QHBoxLayout *layout;
    KeyRecorder *recorder;
    Button *off;
};

ShortcutRow shortcutRow(const QString &label, const QString &accessibleName, const QString &name, QWidget *body)
{
    auto *layout = new QHBoxLayout;
    layout->setSpacing(8);
    QLabel *text = rowLabel(label, body);
    layout->addWidget(text);
    layout->addStretch(1);
    auto *recorder = new KeyRecorder(body);
    recorder->setObjectName(name + QStringLiteral("Recorder"));
    recorder->setAccessibleName(accessibleName);
    text->setBuddy(recorder);
    layout->addWidget(recorder);
    auto *off = new Button(Button::Kind::Bordered, QStringLiteral("关闭"), body);
    off->setObjectName(name + QStringLiteral("OffButton"));
    off->setAccessibleName(QStringLiteral("关闭") + accessibleName);
    layout->addWidget(off);
    return {layout, recorder, off};
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
    m_status = new StatusLine(page);
    pageColumn->addWidget(m_status->label());
    pageColumn->addStretch(1);
    m_scroll = OverlayScrollBars::transparentScrollArea(page, this);
    m_scroll->setObjectName(QStringLiteral("settingsScroll"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scroll);
    // The page grows when the status line appears, and only later, once the
    // layout has run, does the scroll range follow.
    connect(m_scroll->verticalScrollBar(), &QAbstractSlider::rangeChanged, this, [this] {
        if (m_status->message())
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

SymbolLabel *SettingsView::hint(const QString &text, QWidget *parent)
{
    auto *label = new SymbolLabel(std::nullopt, text, parent);
    label->setTextFont(Fonts::system(10));
    label->setForeground(Foreground::Secondary);
    return label;
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
    m_keyRows[0] = new ApiKeyRow(ApiKeyAccount::Anthropic, QStringLiteral("Anthropic API Key"), m_secrets, rows);
    layout->addWidget(m_keyRows[0]);
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
    connect(m_baseURLField, &QLineEdit::textEdited, this,
            [this](const QString &text) { m_settings.setOpenAIBaseURL(text); });
    layout->addWidget(fieldRow(QStringLiteral("Base URL"), m_baseURLField, rows));
    m_plainHTTPWarning = new SymbolLabel(Symbol::ExclamationmarkTriangleFill,
                                         QStringLiteral("此地址未加密，API Key 将以明文传输"), rows);
    m_plainHTTPWarning->setObjectName(QStringLiteral("plainHTTPWarning"));
    m_plainHTTPWarning->setTextFont(Fonts::system(10));
    m_plainHTTPWarning->setForeground(Foreground::Secondary);
    layout->addWidget(m_plainHTTPWarning);

    m_modelField = settingField(QStringLiteral("gpt-4o-mini"), rows);
    m_modelField->setObjectName(QStringLiteral("modelField"));
    connect(m_modelField, &QLineEdit::textEdited, this,
            [this](const QString &text) { m_settings.setOpenAIModel(text); });
    layout->addWidget(fieldRow(QStringLiteral("模型名称"), m_modelField, rows));

    m_keyRows[1] = new ApiKeyRow(ApiKeyAccount::OpenAICompatible, QStringLiteral("API Key"), m_secrets, rows);
    layout->addWidget(m_keyRows[1]);
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

    const ShortcutRow shortcut = shortcutRow(QStringLiteral("快捷键"), QStringLiteral("快捷键"),
                                             QStringLiteral("shortcut"), body);
    m_shortcutRecorder = shortcut.recorder;
    m_shortcutOff = shortcut.off;
    connect(m_shortcutRecorder, &KeyRecorder::keySequenceEdited, this, [this](const QKeySequence &keys) {
        if (!refuseDuplicate(keys, m_settings.screenTextShortcut()))
            m_settings.setGlobalShortcut(keys.toString(QKeySequence::PortableText));
        syncGlobalShortcut();
    });
    connect(m_shortcutOff, &QAbstractButton::clicked, this, [this] { m_settings.setGlobalShortcut(QString()); });
    card->bodyLayout()->addLayout(shortcut.layout);
    m_shortcutHint = hint(QStringLiteral("在任意程序中选中文字后按下，即可翻译"), body);
    card->bodyLayout()->addWidget(m_shortcutHint);

    const ShortcutRow screenText = shortcutRow(QStringLiteral("截图翻译"), QStringLiteral("截图翻译快捷键"),
                                               QStringLiteral("screenText"), body);
    m_screenTextRecorder = screenText.recorder;
    m_screenTextOff = screenText.off;
    connect(m_screenTextRecorder, &KeyRecorder::keySequenceEdited, this, [this](const QKeySequence &keys) {
        if (!refuseDuplicate(keys, m_settings.globalShortcut()))
            m_settings.setScreenTextShortcut(keys.toString(QKeySequence::PortableText));
        syncScreenTextShortcut();
    });
    connect(m_screenTextOff, &QAbstractButton::clicked, this, [this] { m_settings.setScreenTextShortcut(QString()); });
    card->bodyLayout()->addLayout(screenText.layout);

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

void SettingsView::connectSettings()
{
    connect(&m_settings, &AppSettings::llmProviderChanged, this, &SettingsView::syncProvider);
    connect(&m_settings, &AppSettings::openAIBaseURLChanged, this, &SettingsView::syncBaseURL);
    connect(&m_settings, &AppSettings::openAIModelChanged, this, &SettingsView::syncModel);
    connect(&m_settings, &AppSettings::defaultEngineChanged, this, &SettingsView::syncDefaultEngine);
    connect(&m_settings, &AppSettings::launchAtLoginChanged, this, &SettingsView::syncLaunchAtLogin);
    connect(&m_settings, &AppSettings::globalShortcutChanged, this, &SettingsView::syncGlobalShortcut);
    connect(&m_settings, &AppSettings::screenTextShortcutChanged, this, &SettingsView::syncScreenTextShortcut);
    connect(&m_settings, &AppSettings::launchAtLoginFailed, this,
            [this](const QString &reason) { m_status->showFailure(QStringLiteral("登录项更新失败："), reason); });
    for (ApiKeyRow *row : m_keyRows) {
        connect(row, &ApiKeyRow::succeeded, m_status,
                [this](const QString &message) { m_status->show(message, StatusLine::Outcome::Done); });
        connect(row, &ApiKeyRow::failed, m_status, &StatusLine::showFailure);
    }
    syncProvider();
    syncBaseURL();
    syncModel();
    syncDefaultEngine();
    syncLaunchAtLogin();
    syncGlobalShortcut();
    syncScreenTextShortcut();
}

void SettingsView::reportShortcut(bool bound, const QString &text)
{
    m_status->show(text, bound ? StatusLine::Outcome::Done : StatusLine::Outcome::Failed);
}

void SettingsView::setShortcutUnavailable()
{
    m_shortcutRecorder->setEnabled(false);
    m_screenTextRecorder->setEnabled(false);
    syncGlobalShortcut();
    syncScreenTextShortcut();
    m_shortcutHint->setText(
        QStringLiteral("此桌面不支持全局快捷键，请在系统设置中为 tolvanis --selection 和 tolvanis --capture "
                       "添加自定义快捷键"));
}

std::optional<QString> SettingsView::statusMessage() const
{
    return m_status->message();
}

void SettingsView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Each time the window comes on screen, not when it is restored.
    if (event->spontaneous())
        return;
    for (ApiKeyRow *row : m_keyRows)
        row->reload();
}

// Below a long card the status line may lie outside the visible part.
void SettingsView::revealStatus()
{
    m_scroll->ensureWidgetVisible(m_status->label(), 0, 16);
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
    m_plainHTTPWarning->setVisible(sendsKeyInClear(m_settings.openAIBaseURL()));
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

void SettingsView::syncScreenTextShortcut()
{
    const QKeySequence keys = QKeySequence::fromString(m_settings.screenTextShortcut(), QKeySequence::PortableText);
    m_screenTextRecorder->setKeySequence(keys);
    m_screenTextOff->setEnabled(m_screenTextRecorder->isEnabled() && !keys.isEmpty());
}

bool SettingsView::refuseDuplicate(const QKeySequence &keys, const QString &otherShortcut)
{
    if (keys.isEmpty() || keys != QKeySequence::fromString(otherShortcut, QKeySequence::PortableText))
        return false;
    m_status->show(QStringLiteral("%1 已用于另一个快捷键").arg(keys.toString(QKeySequence::NativeText)),
                   StatusLine::Outcome::Failed);
    return true;
}
