#include "StoredForms.h"

#include "ComponentRegistry.h"
#include "DMUnit.h"
#include "Error.h"
#include "MagCommon.h"
#include "Messages.h"
#include "TDBStream.h"
#include "UsUnit.h"

namespace editing
{

std::unique_ptr<TUForm> FindStoredForm(database::TDM& dm, const QString& fullPath,
                                       const QString& formName, int rType)
{
    database::TDBStream stream(dm);
    for (QString path = fullPath; stream.size() == 0;) {
        stream.LoadFromDB(path, formName, rType);
        if (stream.size() > 0)
            break;
        path = catalogue::ParentPath(path);
        if (path.isEmpty()) {
            platform::ShowError(QString::fromUtf8(kFormNotFound));
            return nullptr;
        }
    }
    try {
        // "DM.GRQuery" and the like name the data module's components.
        ReadOptions options;
        options.outside = [&dm](const QString& owner, const QString& name) -> QObject* {
            if (owner.compare(dm.objectName(), Qt::CaseInsensitive) != 0)
                return nullptr;
            for (QObject* child : dm.children())
                if (child->objectName().compare(name, Qt::CaseInsensitive) == 0)
                    return child;
            return nullptr;
        };
        std::unique_ptr<QObject> root = ReadComponent(stream.bytes(), options);
        auto* form = qobject_cast<TUForm*>(root.get());
        if (!form)
            throw platform::Error(QStringLiteral("Invalid stream format"));
        root.release();
        return std::unique_ptr<TUForm>(form);
    } catch (const std::exception& e) {
        platform::ShowPlain(platform::ErrorText(e));
        return nullptr;
    }
}

} // namespace editing
