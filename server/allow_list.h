#pragma once

#include <asio/ip/address.hpp>
#include <string>
#include <vector>

// The hosts and networks that may connect (--allow): addresses ("192.168.1.20", "fe80::1") and
// networks ("192.168.1.0/24", "2001:db8::/32"). An IPv4 client reaching an IPv6 socket
// (::ffff:a.b.c.d) is matched as the IPv4 address it is.

namespace kx::server {

class AllowList {
public:
    // Only this machine: 127.0.0.0/8 and ::1.
    static AllowList Loopback();

    // Adds one --allow value; false with why for text that is no address or network.
    bool Add(const std::string& text, std::string& why);

    bool Allows(const asio::ip::address& address) const;
    bool empty() const { return entries_.empty(); }

private:
    struct Entry {
        asio::ip::address network;
        unsigned prefix = 0;  // bits that must match
    };
    std::vector<Entry> entries_;
};

}  // namespace kx::server
