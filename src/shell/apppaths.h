#pragma once

#include <QString>

// Where the program's files live. The settings file sits beside the executable, as the shops
// install it; where that folder is read-only (an installed build) it moves to the user's
// configuration folder so that settings are never silently lost.
namespace AppPaths {
QString applicationDir();
QString configFile();
} // namespace AppPaths
