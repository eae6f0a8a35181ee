#include "server/client_group.h"

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>

namespace {
const size_t ipv6PrefixBytes = 8; // a /64

std::string ipv4Group(const void* bytes) {
    return "4" + std::string(static_cast<const char*>(bytes), 4);
}

std::string ipv6Group(const in6_addr& address) {
    if (IN6_IS_ADDR_V4MAPPED(&address))
        return ipv4Group(address.s6_addr + 12);
    return "6" + std::string(reinterpret_cast<const char*>(address.s6_addr), ipv6PrefixBytes);
}
} // namespace

std::string clientGroup(const sockaddr* address) {
    if (address->sa_family == AF_INET)
        return ipv4Group(&reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
    if (address->sa_family == AF_INET6)
        return ipv6Group(reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr);
    return "?";
}

std::string clientGroup(const std::string& numericAddress) {
    in6_addr ipv6{};
    in_addr ipv4{};
    if (inet_pton(AF_INET6, numericAddress.c_str(), &ipv6) == 1)
        return ipv6Group(ipv6);
    if (inet_pton(AF_INET, numericAddress.c_str(), &ipv4) == 1)
        return ipv4Group(&ipv4);
    return "?" + numericAddress;
}
