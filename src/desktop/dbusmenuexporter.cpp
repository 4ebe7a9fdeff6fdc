#include "desktop/dbusmenuexporter.h"

#include <QAction>
#include <QDBusError>
#include <QMenu>
#include <QTimer>

namespace {

// dbusmenu names keys as GTK accelerators do: "Control", then the key's name.
QStringList shortcutKeys(const QKeySequence &sequence)
{
    if (sequence.isEmpty())
        return {};
    const QKeyCombination combination = sequence[0];
    QStringList keys;
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    if (modifiers & Qt::ControlModifier)
        keys << QStringLiteral("Control");
    if (modifiers & Qt::AltModifier)
        keys << QStringLiteral("Alt");
    if (modifiers & Qt::ShiftModifier)
        keys << QStringLiteral("Shift");
    if (modifiers & Qt::MetaModifier)
        keys << QStringLiteral("Super");
    const Qt::Key key = combination.key();
    if (key == Qt::Key_Comma)
        keys << QStringLiteral("comma");
    else
        keys << QKeySequence(key).toString(QKeySequence::PortableText).toLower();
    return keys;
}

} // namespace

DBusMenuExporter::DBusMenuExporter(QMenu *menu, QObject *parent)
    : QObject(parent)
    , m_menu(menu)
{
    DBusTrayTypes::registerTypes();
}

QAction *DBusMenuExporter::actionFor(int id) const
{
    if (!m_menu || id < 1 || id > m_menu->actions().size())
        return nullptr;
    return m_menu->actions().at(id - 1);
}

QVariantMap DBusMenuExporter::propertiesOf(int id, const QStringList &names) const
{
    QVariantMap properties;
    if (id == 0) {
        properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    } else if (QAction *action = actionFor(id)) {
        if (action->isSeparator()) {
            properties.insert(QStringLiteral("type"), QStringLiteral("separator"));
        } else {
            // "_" marks a mnemonic in dbusmenu labels; a literal one is doubled.
            QString label = action->text();
            label.replace(QLatin1Char('_'), QStringLiteral("__")).replace(QLatin1Char('&'), QLatin1Char('_'));
            properties.insert(QStringLiteral("label"), label);
            const QStringList keys = shortcutKeys(action->shortcut());
            if (!keys.isEmpty())
                properties.insert(QStringLiteral("shortcut"), QVariant::fromValue(QList<QStringList>{keys}));
        }
        properties.insert(QStringLiteral("enabled"), action->isEnabled());
        properties.insert(QStringLiteral("visible"), action->isVisible());
    }
    if (names.isEmpty())
        return properties;
    QVariantMap chosen;
    for (const QString &name : names) {
        if (properties.contains(name))
            chosen.insert(name, properties.value(name));
    }
    return chosen;
}

uint DBusMenuExporter::GetLayout(int parentId, int recursionDepth, const QStringList &propertyNames,
                                 DBusMenuLayoutItem &layout)
{
    if (parentId != 0 && !actionFor(parentId)) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("no menu item %1").arg(parentId));
        return 0;
    }
    layout.id = parentId;
    layout.properties = propertiesOf(parentId, propertyNames);
    if (parentId == 0 && recursionDepth != 0 && m_menu) {
        for (int id = 1; id <= m_menu->actions().size(); ++id)
            layout.children.append(DBusMenuLayoutItem{id, propertiesOf(id, propertyNames), {}});
    }
    return 1; // the layout never changes while the program runs
}

QList<DBusMenuItemProperties> DBusMenuExporter::GetGroupProperties(const QList<int> &ids,
                                                                   const QStringList &propertyNames)
{
    QList<DBusMenuItemProperties> result;
    for (int id : ids) {
        if (id == 0 || actionFor(id))
            result.append({id, propertiesOf(id, propertyNames)});
    }
    return result;
}

QDBusVariant DBusMenuExporter::GetProperty(int id, const QString &name)
{
    const QVariantMap properties = propertiesOf(id, {name});
    if (!properties.contains(name)) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("no property %1 on item %2").arg(name).arg(id));
        return QDBusVariant(QString());
    }
    return QDBusVariant(properties.value(name));
}

bool DBusMenuExporter::activate(int id, const QString &eventId)
{
    QAction *action = actionFor(id);
    if (!action)
        return false;
    if (eventId == QLatin1String("clicked") && action->isEnabled() && !action->isSeparator()) {
        // Queued, so that the host has its reply before the action runs (the
        // quit action would otherwise end the program mid-call).
        QTimer::singleShot(0, action, [action] { action->trigger(); });
    }
    return true;
}

void DBusMenuExporter::Event(int id, const QString &eventId, const QDBusVariant &, uint)
{
    activate(id, eventId);
}

QList<int> DBusMenuExporter::EventGroup(const QList<DBusMenuEvent> &events)
{
    QList<int> idErrors;
    for (const DBusMenuEvent &event : events) {
        if (!activate(event.id, event.eventId))
            idErrors.append(event.id);
    }
    return idErrors;
}

bool DBusMenuExporter::AboutToShow(int)
{
    return false;
}

QList<int> DBusMenuExporter::AboutToShowGroup(const QList<int> &ids, QList<int> &idErrors)
{
    for (int id : ids) {
        if (id != 0 && !actionFor(id))
            idErrors.append(id);
    }
    return {};
}
