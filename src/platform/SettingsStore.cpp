#include "SettingsStore.h"

#include <QSettings>
#include <QWidget>

namespace platform
{

namespace
{

QString groupOf(const QString& key)
{
    QString g = key;
    g.replace(u'\\', u'/');
    return g;
}

} // namespace

SettingsStore::SettingsStore(QString section, QString program)
    : m_section(std::move(section)), m_program(std::move(program))
{
}

QVariant SettingsStore::value(const QString& name, const QVariant& fallback) const
{
    QSettings s(QStringLiteral("Brenholt"), m_program);
    s.beginGroup(groupOf(m_section));
    return s.value(name, fallback);
}

void SettingsStore::setValue(const QString& name, const QVariant& value)
{
    QSettings s(QStringLiteral("Brenholt"), m_program);
    s.beginGroup(groupOf(m_section));
    s.setValue(name, value);
}

void SettingsStore::savePlacement(const QWidget& window)
{
    setValue(QStringLiteral("Placement"), window.saveGeometry());
}

void SettingsStore::restorePlacement(QWidget& window) const
{
    const QByteArray g = value(QStringLiteral("Placement")).toByteArray();
    if (!g.isEmpty())
        window.restoreGeometry(g);
}

QStringList SettingsStore::history(const QString& subKey) const
{
    QSettings s(QStringLiteral("Brenholt"), m_program);
    s.beginGroup(groupOf(subKey));
    return s.value(QStringLiteral("Items")).toStringList();
}

void SettingsStore::addToHistory(const QString& subKey, const QString& entry, int maxEntries)
{
    if (entry.isEmpty())
        return;
    QStringList items = history(subKey);
    items.removeAll(entry);
    items.prepend(entry);
    while (items.size() > maxEntries)
        items.removeLast();
    QSettings s(QStringLiteral("Brenholt"), m_program);
    s.beginGroup(groupOf(subKey));
    s.setValue(QStringLiteral("Items"), items);
}

} // namespace platform
