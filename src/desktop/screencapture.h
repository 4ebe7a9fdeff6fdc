#pragma once

#include <QImage>
#include <QObject>
#include <QString>

#include <memory>

// Takes a picture of the screen and lets the user choose the region to read:
// one implementation per way a desktop lets a program see its screen.
class ScreenCapture : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // The portal on a Wayland desktop (also for XWayland clients, which see
    // only their own windows), else a grab of the X screens.
    static std::unique_ptr<ScreenCapture> create(QObject *parent = nullptr);

    // The outcome arrives later as captured() or failed().
    virtual void start() = 0;

Q_SIGNALS:
    void captured(const QImage &region);
    // `reason`: a Chinese sentence for the user; empty when the user cancelled.
    void failed(const QString &reason);
};
