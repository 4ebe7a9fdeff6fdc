#include "desktop/dbustraytypes.h"

#include <QDBusMetaType>

namespace DBusTrayTypes {

void registerTypes()
{
    static const bool done = [] {
        qDBusRegisterMetaType<QList<QStringList>>();
        qDBusRegisterMetaType<DBusImage>();
        qDBusRegisterMetaType<DBusImageList>();
        qDBusRegisterMetaType<DBusToolTip>();
        qDBusRegisterMetaType<DBusMenuLayoutItem>();
        qDBusRegisterMetaType<DBusMenuItemProperties>();
        qDBusRegisterMetaType<DBusMenuItemPropertiesList>();
        qDBusRegisterMetaType<DBusMenuItemKeys>();
        qDBusRegisterMetaType<DBusMenuItemKeysList>();
        qDBusRegisterMetaType<DBusMenuEvent>();
        qDBusRegisterMetaType<DBusMenuEventList>();
        return true;
    }();
    Q_UNUSED(done)
}

} // namespace DBusTrayTypes

namespace {

// A plain structure goes on the bus as its members, in order.
template<typename... Members>
QDBusArgument &writeStructure(QDBusArgument &arg, const Members &...members)
{
    arg.beginStructure();
    (arg << ... << members);
    arg.endStructure();
    return arg;
}

template<typename... Members>
const QDBusArgument &readStructure(const QDBusArgument &arg, Members &...members)
{
    arg.beginStructure();
    (arg >> ... >> members);
    arg.endStructure();
    return arg;
}

} // namespace

QDBusArgument &operator<<(QDBusArgument &arg, const DBusImage &image)
{
    return writeStructure(arg, image.width, image.height, image.argb);
}

const QDBusArgument &operator>>(const QDBusArgument &arg, DBusImage &image)
{
    return readStructure(arg, image.width, image.height, image.argb);
}

QDBusArgument &operator<<(QDBusArgument &arg, const DBusToolTip &tip)
{
    return writeStructure(arg, tip.iconName, tip.images, tip.title, tip.description);
}

const QDBusArgument &operator>>(const QDBusArgument &arg, DBusToolTip &tip)
{
    return readStructure(arg, tip.iconName, tip.images, tip.title, tip.description);
}

QDBusArgument &operator<<(QDBusArgument &arg, const DBusMenuLayoutItem &item)
{
    arg.beginStructure();
    arg << item.id << item.properties;
    arg.beginArray(qMetaTypeId<QDBusVariant>());
    for (const DBusMenuLayoutItem &child : item.children)
        arg << QDBusVariant(QVariant::fromValue(child));
    arg.endArray();
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, DBusMenuLayoutItem &item)
{
    arg.beginStructure();
    arg >> item.id >> item.properties;
    item.children.clear();
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant child;
        arg >> child;
        item.children.append(qdbus_cast<DBusMenuLayoutItem>(child.variant()));
    }
    arg.endArray();
    arg.endStructure();
    return arg;
}

QDBusArgument &operator<<(QDBusArgument &arg, const DBusMenuItemProperties &item)
{
    return writeStructure(arg, item.id, item.properties);
}

const QDBusArgument &operator>>(const QDBusArgument &arg, DBusMenuItemProperties &item)
{
    return readStructure(arg, item.id, item.properties);
}

QDBusArgument &operator<<(QDBusArgument &arg, const DBusMenuItemKeys &item)
{
    return writeStructure(arg, item.id, item.names);
}

const QDBusArgument &operator>>(const QDBusArgument &arg, DBusMenuItemKeys &item)
{
    return readStructure(arg, item.id, item.names);
}

QDBusArgument &operator<<(QDBusArgument &arg, const DBusMenuEvent &event)
{
    return writeStructure(arg, event.id, event.eventId, event.data, event.timestamp);
}

const QDBusArgument &operator>>(const QDBusArgument &arg, DBusMenuEvent &event)
{
    return readStructure(arg, event.id, event.eventId, event.data, event.timestamp);
}
