// The part of a client's address that stands for one customer, which the per-client limits
// count by: an IPv4 address whole, also when it reaches an IPv6 socket as ::ffff:a.b.c.d, and
// an IPv6 address by its first 64 bits, since one customer usually gets a whole /64. Without
// the first, every IPv4 client of a server on `--listen ::` would share one group; without
// the second, one customer would have as many as there are addresses in a /64.
#pragma once

#include <string>
#include <sys/socket.h>

// A short byte string, equal for two addresses exactly when they are one client's.
std::string clientGroup(const sockaddr* address);
// The same for a numeric address as text; anything else is its own group.
std::string clientGroup(const std::string& numericAddress);
