#pragma once

#include <QDBusArgument>
#include <QDBusVariant>
#include <QList>
#include <QString>
#include <QVariantMap>

// The structures StatusNotifierItem and com.canonical.dbusmenu put on the bus,
// with their D-Bus signatures.

// (iiay): one image, ARGB32 in network byte order.
struct DBusImage {
    int width = 0;
    int height = 0;
    QByteArray argb;
};
using DBusImageList = QList<DBusImage>;

// (sa(iiay)ss): icon name, icon images, title, description.
struct DBusToolTip {
    QString iconName;
    DBusImageList images;
    QString title;
    QString description;
};

// (ia{sv}av): a menu item, its properties and its children (each a variant
// holding the same structure).
struct DBusMenuLayoutItem {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayoutItem> children;
};

// (ia{sv}): the properties of one item.
struct DBusMenuItemProperties {
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItemPropertiesList = QList<DBusMenuItemProperties>;

// (ias): the names of removed properties of one item.
struct DBusMenuItemKeys {
    int id = 0;
    QStringList names;
};
using DBusMenuItemKeysList = QList<DBusMenuItemKeys>;

// (isvu): one event of EventGroup.
struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

namespace DBusTrayTypes {
// Registers every type above with the meta-type and D-Bus type systems; safe to call again.
void registerTypes();
} // namespace DBusTrayTypes

QDBusArgument &operator<<(QDBusArgument &arg, const DBusImage &image);
const QDBusArgument &operator>>(const QDBusArgument &arg, DBusImage &image);
QDBusArgument &operator<<(QDBusArgument &arg, const DBusToolTip &tip);
const QDBusArgument &operator>>(const QDBusArgument &arg, DBusToolTip &tip);
QDBusArgument &operator<<(QDBusArgument &arg, const DBusMenuLayoutItem &item);
const QDBusArgument &operator>>(const QDBusArgument &arg, DBusMenuLayoutItem &item);
QDBusArgument &operator<<(QDBusArgument &arg, const DBusMenuItemProperties &item);
const QDBusArgument &operator>>(const QDBusArgument &arg, DBusMenuItemProperties &item);
QDBusArgument &operator<<(QDBusArgument &arg, const DBusMenuItemKeys &item);
const QDBusArgument &operator>>(const QDBusArgument &arg, DBusMenuItemKeys &item);
QDBusArgument &operator<<(QDBusArgument &arg, const DBusMenuEvent &event);
const QDBusArgument &operator>>(const QDBusArgument &arg, DBusMenuEvent &event);

Q_DECLARE_METATYPE(DBusImage)
Q_DECLARE_METATYPE(DBusToolTip)
Q_DECLARE_METATYPE(DBusMenuLayoutItem)
Q_DECLARE_METATYPE(DBusMenuItemProperties)
Q_DECLARE_METATYPE(DBusMenuItemKeys)
Q_DECLARE_METATYPE(DBusMenuEvent)
