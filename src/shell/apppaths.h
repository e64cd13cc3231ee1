#pragma once

#include <QString>

// Where the program's files live. The settings file sits beside the executable, as the shops
// unpack it; where that folder is read-only it moves to the user's configuration folder so that
// settings are never silently lost. A build made for a package (KESTO_SYSTEM_CONFIG) always keeps
// it in the user's folder, starting from the shop's defaults in /etc.
namespace AppPaths {
QString applicationDir();
QString configFile();
} // namespace AppPaths
