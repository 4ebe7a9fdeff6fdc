// src/app/shortcutbackend.h
#pragma once
#include <QKeySequence>
#include <QObject>
#include <QString>
// A desktop-wide key combination that triggers the selection translation.
class ShortcutBackend : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // Binds `keys`; an empty sequence releases any binding. The outcome
    // arrives later as bound() or failed().
    virtual void bind(const QKeySequence &keys) = 0;
Q_SIGNALS:
    // `description`: what the desktop answered (e.g. the trigger it shows), may be empty.
    void bound(const QString &description);
    // `reason`: a Chinese sentence for the settings window's status line.
    void failed(const QString &reason);
    // `activationToken`: an XDG activation token to raise the panel with, may be empty.
    void activated(const QString &activationToken);
};
