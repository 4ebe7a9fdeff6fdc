// The least a Qt tray program can be: one QSystemTrayIcon with a 36x36 mask
// icon and the event loop. bench_shell measures it next to tolvanis on the
// same X server. A left click toggles a plain 340x430 window, created on the
// first click only, so the click-to-window time has a floor too without
// costing the start-up or idle figures anything.
#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    QPixmap pixmap(36, 36);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(Qt::black);
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(QRectF(4, 4, 28, 28), 6, 6);
    }
    QIcon icon(pixmap);
    icon.setIsMask(true);

    QSystemTrayIcon tray(icon);
    QWidget *window = nullptr;
    QObject::connect(&tray, &QSystemTrayIcon::activated, &tray, [&window](QSystemTrayIcon::ActivationReason reason) {
        if (reason != QSystemTrayIcon::Trigger)
            return;
        if (!window) {
            window = new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
            window->setFixedSize(340, 430);
        }
        window->setVisible(!window->isVisible());
    });
    tray.show();
    const int status = app.exec();
    delete window;
    return status;
}
