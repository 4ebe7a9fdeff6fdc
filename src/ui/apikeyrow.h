#pragma once

#include "core/keystore.h"

#include <QWidget>

namespace Widgets {
class Button;
class RoundedTextField;
} // namespace Widgets

// One account's API key in the settings: the masked field under its title,
// and "清除" and "保存". The field is a local copy: it reaches the secret
// store only through the two buttons, and each outcome is reported for the
// status line. The field is refilled from the store on request, without
// waiting.
class ApiKeyRow final : public QWidget
{
    Q_OBJECT

public:
    ApiKeyRow(ApiKeyAccount account, const QString &placeholder, KeyStore &secrets, QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(ApiKeyRow)

    // Asks the store for the key; its answer replaces the field's text.
    void reload();

Q_SIGNALS:
    void succeeded(const QString &message);
    // What failed, and the store's reason, which may be empty.
    void failed(const QString &what, const QString &reason);

private:
    QCoro::Task<> load(quint64 generation);
    QCoro::Task<> save();
    QCoro::Task<> clear();

    ApiKeyAccount m_account;
    KeyStore &m_secrets;
    Widgets::RoundedTextField *m_field;
    Widgets::Button *m_clear;
    Widgets::Button *m_save;
    // Counts the showings that asked for the key; only the latest answer counts.
    quint64 m_generation = 0;
    // Counts the user's changes to the field, so that an answer the store was
    // asked for before the latest change does not overwrite it.
    quint64 m_revision = 0;
};
