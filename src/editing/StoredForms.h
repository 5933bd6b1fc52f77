#pragma once
// Finding the stored form that serves a journal: the journal's own, else the
// nearest ancestor's, read back from its component stream.

#include <QString>
#include <memory>

namespace database
{
class TDM;
}

namespace editing
{

class TUForm;

inline constexpr const char* kFormNotFound = "ОШИБКА! Форма не найдена";

// Loads the object of kind rType (and name) stored for fullPath or, failing
// that, for its nearest ancestor, and reads it as a form. When there is none
// anywhere up the branch the user is shown "ОШИБКА! Форма не найдена"; when
// it does not read, the reading error. Both give none.
[[nodiscard]] std::unique_ptr<TUForm> FindStoredForm(database::TDM& dm, const QString& fullPath,
                                                     const QString& formName, int rType);

} // namespace editing
