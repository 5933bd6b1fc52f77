#pragma once
// What the log-on loads for the logged-on user after the password check, and
// what Disconnect disposes of: the reference cache, the field descriptions,
// the journal tree with the user's rights, and the equipment trees.

namespace database
{
class TDM;
}

namespace startup
{

class LogOnView;

// Log-on steps 11 to 16. Raises on any server error; the log-on then fails
// with its text.
void LoadUserCatalogue(database::TDM& dm, LogOnView& view);
// Disconnect step 1: the reference cache goes and must be loaded again.
void UnloadUserCatalogue(database::TDM& dm);

} // namespace startup
