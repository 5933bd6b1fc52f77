#pragma once
// Per-user settings of one window class, under "Software\Brenholt\<program>"
// (the registry on Windows, a per-user file elsewhere): named values, a
// window's placement, and drop-down history lists.

#include <QString>
#include <QStringList>
#include <QVariant>

class QWidget;

namespace platform
{

class SettingsStore
{
public:
    // section: the window class, e.g. "TfrmJConnect"; program: "logdesk" or
    // "logadmin".
    explicit SettingsStore(QString section, QString program = QStringLiteral("logdesk"));

    QVariant value(const QString& name, const QVariant& fallback = {}) const;
    void setValue(const QString& name, const QVariant& value);

    void savePlacement(const QWidget& window);
    void restorePlacement(QWidget& window) const;

    // A history list kept under the sub-key path (e.g. "TConnect\\editAddress"),
    // relative to the program's key; newest first, without repeats.
    QStringList history(const QString& subKey) const;
    void addToHistory(const QString& subKey, const QString& entry, int maxEntries = 20);

private:
    QString m_section;
    QString m_program;
};

} // namespace platform
