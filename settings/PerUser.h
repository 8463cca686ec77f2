// What the per-user settings file is made of: the user's logon name and a
// folder that is created when missing.
#pragma once

#include <string>
#include <vector>

namespace ombrels {

// The logon name under which the host runs, trimmed; "error" when the
// platform cannot give it.
std::string GetCurrentUserName();

// Creates every missing folder along `path`, from the root down; true when
// all of them exist at the end. Walks characters of the code page, so a
// trail byte equal to the separator never ends a folder name. Each folder
// made is added to `created` when it is given.
bool ForceDirectoryChain(const std::string& path, std::vector<std::string>* created = nullptr);

}  // namespace ombrels
