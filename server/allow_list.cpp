#include "server/allow_list.h"

#include <array>

namespace kx::server {

namespace {

asio::ip::address Plain(const asio::ip::address& a) {
    if (a.is_v6() && a.to_v6().is_v4_mapped())
        return asio::ip::make_address_v4(asio::ip::v4_mapped, a.to_v6());
    return a;
}

std::array<unsigned char, 16> Bytes(const asio::ip::address& a) {
    std::array<unsigned char, 16> out{};
    if (a.is_v4()) {
        const auto b = a.to_v4().to_bytes();
        std::copy(b.begin(), b.end(), out.begin());
    } else {
        out = a.to_v6().to_bytes();
    }
    return out;
}

bool PrefixMatches(const asio::ip::address& a, const asio::ip::address& b, unsigned prefix) {
    const auto x = Bytes(a);
    const auto y = Bytes(b);
    for (unsigned bit = 0; bit < prefix; ++bit) {
        const unsigned mask = 0x80u >> (bit % 8);
        if ((x[bit / 8] & mask) != (y[bit / 8] & mask)) return false;
    }
    return true;
}

}  // namespace

AllowList AllowList::Loopback() {
    AllowList list;
    std::string why;
    list.Add("127.0.0.0/8", why);
    list.Add("::1", why);
    return list;
}

bool AllowList::Add(const std::string& text, std::string& why) {
    const size_t slash = text.find('/');
    asio::error_code ec;
    const auto address = Plain(asio::ip::make_address(text.substr(0, slash), ec));
    if (ec) {
        why = "--allow takes an address or a network (ADDRESS/BITS), not '" + text + "'";
        return false;
    }
    const unsigned bits = address.is_v4() ? 32 : 128;
    unsigned prefix = bits;
    if (slash != std::string::npos) {
        const std::string digits = text.substr(slash + 1);
        if (digits.empty() || digits.size() > 3 ||
            digits.find_first_not_of("0123456789") != std::string::npos ||
            std::stoul(digits) > bits) {
            why = "--allow: '" + digits + "' is no prefix length for " + text.substr(0, slash);
            return false;
        }
        prefix = static_cast<unsigned>(std::stoul(digits));
    }
    entries_.push_back({address, prefix});
    return true;
}

bool AllowList::Allows(const asio::ip::address& client) const {
    const auto a = Plain(client);
    for (const Entry& e : entries_)
        if (a.is_v4() == e.network.is_v4() && PrefixMatches(a, e.network, e.prefix)) return true;
    return false;
}

}  // namespace kx::server
