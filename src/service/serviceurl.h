#pragma once

#include <QString>

class SettingsSnapshot;

// The full address of a service path: the "server" setting when present, else the address the
// program was built for.
QString serviceUrl(const SettingsSnapshot &settings, const char *path);

// How long a request may go without a byte of its answer: the "timeout" setting in seconds (a
// shop on a slow line may want more), else the network's default.
int serviceTimeoutMs(const SettingsSnapshot &settings);

// The new-user registration page of the service provider.
QString registrationUrl();
