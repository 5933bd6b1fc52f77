#pragma once
// The packed record context: one text holding a complete snapshot of one
// journal record (its CORETABLE row joined with its extension row), as
// HISTORY.RECCONTEXT of signature rows keeps it. Three layers: the snapshot
// format of datasets, the compressed stream (method "Good"), Base64.
//
// Packing the same row gives the same text on every run, on every
// workstation and on every server kind, for the same rows and column types:
// signatures compare these texts character for character.

#include "DataSet.h"

#include <QString>
#include <memory>

namespace platform
{
class Server;
}

namespace signature
{

// The snapshot text of record RecID; ext is the journal family's extension
// table (empty: CORETABLE alone). Raises the server's error.
[[nodiscard]] QString PackRecordContext(platform::Server& server, int recId, const QString& ext);

// The snapshot bytes behind a packed text, packed.
[[nodiscard]] QString PackSnapshot(const QByteArray& snapshot);

// Loads a packed text into dataset (closing it first; persistent fields are
// kept and must be in the snapshot). Raises the compressor's errors or
// "Invalid file format".
void UnpackRecordContext(const QString& text, platform::DataSet& dataset);

} // namespace signature
