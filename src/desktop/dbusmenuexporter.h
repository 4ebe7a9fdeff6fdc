#pragma once

#include "desktop/dbustraytypes.h"

#include <QDBusContext>
#include <QObject>
#include <QPointer>

class QAction;
class QMenu;

// Publishes a menu over com.canonical.dbusmenu, so that StatusNotifierItem
// hosts (waybar, KDE Plasma, GNOME's AppIndicator extension) draw it
// themselves. Item ids are the action's position in the menu plus one; 0 is
// the root. A "clicked" event triggers the action once the reply is out.
class DBusMenuExporter final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    explicit DBusMenuExporter(QMenu *menu, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(DBusMenuExporter)

    uint version() const { return 3; }
    QString status() const { return QStringLiteral("normal"); }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QStringList iconThemePath() const { return {}; }

public Q_SLOTS:
    Q_SCRIPTABLE uint GetLayout(int parentId, int recursionDepth, const QStringList &propertyNames,
                                DBusMenuLayoutItem &layout);
    Q_SCRIPTABLE QList<DBusMenuItemProperties> GetGroupProperties(const QList<int> &ids,
                                                                  const QStringList &propertyNames);
    Q_SCRIPTABLE QDBusVariant GetProperty(int id, const QString &name);
    Q_SCRIPTABLE void Event(int id, const QString &eventId, const QDBusVariant &data, uint timestamp);
    Q_SCRIPTABLE QList<int> EventGroup(const QList<DBusMenuEvent> &events);
    Q_SCRIPTABLE bool AboutToShow(int id);
    Q_SCRIPTABLE QList<int> AboutToShowGroup(const QList<int> &ids, QList<int> &idErrors);

Q_SIGNALS:
    Q_SCRIPTABLE void LayoutUpdated(uint revision, int parent);
    Q_SCRIPTABLE void ItemsPropertiesUpdated(const QList<DBusMenuItemProperties> &updated,
                                             const QList<DBusMenuItemKeys> &removed);
    Q_SCRIPTABLE void ItemActivationRequested(int id, uint timestamp);

private:
    QAction *actionFor(int id) const;
    QVariantMap propertiesOf(int id, const QStringList &names) const;
    bool activate(int id, const QString &eventId);

    QPointer<QMenu> m_menu;
};
