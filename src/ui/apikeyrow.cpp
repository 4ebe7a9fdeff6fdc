#include "ui/apikeyrow.h"

#include "widgets/button.h"
#include "widgets/fonts.h"
#include "widgets/roundedtextfield.h"
#include "widgets/symbollabel.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QVBoxLayout>

using namespace Widgets;

ApiKeyRow::ApiKeyRow(ApiKeyAccount account, const QString &placeholder, KeyStore &secrets, QWidget *parent)
    : QWidget(parent)
    , m_account(account)
    , m_secrets(secrets)
    , m_field(new RoundedTextField(this))
    , m_clear(new Button(Button::Kind::Bordered, QStringLiteral("清除"), this))
    , m_save(new Button(Button::Kind::Prominent, QStringLiteral("保存"), this))
{
    const QString prefix = account == ApiKeyAccount::Anthropic ? QStringLiteral("anthropic") : QStringLiteral("openAI");
    const QString title = QStringLiteral("API Key");
    auto *label = new SymbolLabel(std::nullopt, title, this);
    label->setTextFont(Fonts::monospaced(11, QFont::Medium));
    label->setForeground(Foreground::Secondary);

    m_field->setObjectName(prefix + QStringLiteral("KeyField"));
    m_field->setAccessibleName(title);
    m_field->setEchoMode(QLineEdit::Password);
    m_field->setPlaceholderText(placeholder);
    connect(m_field, &QLineEdit::textEdited, this, [this] { ++m_revision; });
    connect(m_field, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_save->setEnabled(!text.isEmpty()); });

    m_clear->setObjectName(prefix + QStringLiteral("ClearButton"));
    m_save->setObjectName(prefix + QStringLiteral("SaveButton"));
    m_save->setEnabled(false);
    // Not awaited: each press finishes on its own and reports its outcome.
    connect(m_clear, &QAbstractButton::clicked, this, [this] { clear(); });
    connect(m_save, &QAbstractButton::clicked, this, [this] { save(); });

    // Laid out as the settings' other titled fields, the buttons below at the
    // distance between rows.
    auto *titled = new QVBoxLayout;
    titled->setSpacing(4);
    titled->addWidget(label);
    titled->addWidget(m_field);
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch(1);
    buttons->addWidget(m_clear);
    buttons->addWidget(m_save);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addLayout(titled);
    layout->addLayout(buttons);
}

void ApiKeyRow::reload()
{
    load(++m_generation);
}

// Fills the field with the stored key unless, by the time the store answers,
// a later showing has asked again or the user has changed the field.
QCoro::Task<> ApiKeyRow::load(quint64 generation)
{
    const QPointer<ApiKeyRow> self(this);
    const quint64 revision = m_revision;
    auto asked = m_secrets.load(m_account);
    const KeyLookup found = co_await std::move(asked);
    if (!self || generation != m_generation || revision != m_revision)
        co_return;
    if (!found) {
        // The field keeps what it held: an empty field would read as "no key
        // stored" and invite the user to enter it again.
        Q_EMIT failed(QStringLiteral("读取失败："), found.error());
        co_return;
    }
    m_field->setText(found.value().value_or(QString()));
}

QCoro::Task<> ApiKeyRow::save()
{
    const QPointer<ApiKeyRow> self(this);
    // Exactly as typed: white space is part of what the user entered.
    const QString key = m_field->text();
    if (const Result<void> usable = checkAPIKey(key); !usable) {
        Q_EMIT failed(QStringLiteral("保存失败："), usable.error());
        co_return;
    }
    auto saving = m_secrets.save(key, m_account);
    const Result<void> result = co_await std::move(saving);
    if (!self)
        co_return;
    if (result)
        Q_EMIT succeeded(QStringLiteral("已保存到 Keychain"));
    else
        Q_EMIT failed(QStringLiteral("保存失败："), result.error());
}

QCoro::Task<> ApiKeyRow::clear()
{
    const QPointer<ApiKeyRow> self(this);
    // A load still under way must not put back the key being removed.
    const quint64 revision = ++m_revision;
    auto removing = m_secrets.remove(m_account);
    const Result<void> result = co_await std::move(removing);
    if (!self)
        co_return;
    if (!result) {
        // The key is still stored, so the field keeps showing it.
        Q_EMIT failed(QStringLiteral("清除失败："), result.error());
        co_return;
    }
    // What the user typed after pressing "清除" is new and stays.
    if (revision == m_revision)
        m_field->clear();
    Q_EMIT succeeded(QStringLiteral("已清除"));
}
