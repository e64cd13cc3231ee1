#pragma once

#include <QString>

class SettingsStore;

// The full address of a service path: the "server" setting when present, else the address the
// program was built for.
QString serviceUrl(const SettingsStore &settings, const char *path);

// The new-user registration page of the service provider.
QString registrationUrl();
