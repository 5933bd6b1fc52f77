#include "StoredForms.h"

#include "ComponentRegistry.h"
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
        std::unique_ptr<QObject> root = ReadComponent(stream.bytes());
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
