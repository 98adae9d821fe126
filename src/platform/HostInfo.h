#pragma once
// Facts about this computer recorded with each login. Every function gives the empty text when
// the fact cannot be had.
#include <QString>

namespace platform {

QString HostName();
// First IPv4 address the host name resolves to, as dotted text.
QString HostIpv4Address();
// Physical address of the first network adapter (loopback excluded) as "XX-XX-XX-XX-XX-XX".
QString FirstAdapterMacAddress();

} // namespace platform
