// wss://: the desktop's WebSocket through TLS (Beast's SSL stream over
// OpenSSL), for a relay that a TLS proxy offers. Only this file sees the TLS
// headers. The relay's certificate must come from an authority the system
// trusts (or one in the file the player names) and be good for the name the
// player gave: anything else ends the connection with one line.
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket/ssl.hpp>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "netws/ws_link.h"

namespace netws {

namespace ssl = asio::ssl;
using TlsStream = beast::ssl_stream<tcp::socket>;

// Ready before the stream is made from it (a base before Link).
struct TlsTrust {
    ssl::context tls{ssl::context::tls_client};
    std::string trouble; // why the certificates cannot be had

    explicit TlsTrust(const std::string& caFile) {
        beast::error_code ec;
        SSL_CTX_set_min_proto_version(tls.native_handle(), TLS1_2_VERSION);
        tls.set_verify_mode(ssl::verify_peer);
        tls.set_default_verify_paths(ec);
        if (ec) trouble = "cannot read the system's certificates: " + ec.message();
        if (caFile.empty() || !trouble.empty()) return;
        if (!std::ifstream(caFile)) {
            trouble = "cannot read the certificates in " + caFile + ": " + std::strerror(errno);
            return;
        }
        tls.load_verify_file(caFile, ec);
        if (ec)
            trouble = "cannot read the certificates in " + caFile + ": it holds no PEM certificate";
    }
};

struct SecureLink : TlsTrust, Link<TlsStream> {
    explicit SecureLink(const std::string& caFile) : TlsTrust(caFile), Link<TlsStream>(tls) {}

    // The name the certificate must be good for, and the name the server
    // is asked for (SNI; never for an address).
    bool expect(const std::string& host) {
        SSL* handle = ws.next_layer().native_handle();
        beast::error_code ec;
        asio::ip::make_address(host, ec);
        if (!ec) return X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(handle), host.c_str()) == 1;
        return SSL_set_tlsext_host_name(handle, host.c_str()) == 1 &&
               SSL_set1_host(handle, host.c_str()) == 1;
    }

    void start(const std::string& host, uint16_t port, const std::string& path) {
        if (trouble.empty() && !expect(host)) trouble = "cannot ask for " + host + " over TLS";
        if (!trouble.empty()) {
            fail(trouble);
            return;
        }
        // The Host a proxy routes by: the name alone on the default port.
        std::string site = hostHeader(host, port, 443);
        connect(host, port, [this, path, site](const std::string& target) {
            ws.next_layer().async_handshake(ssl::stream_base::client,
                                            [this, target, path, site](beast::error_code ec) {
                                                if (ec) {
                                                    fail(refusal(target, ec));
                                                    return;
                                                }
                                                handshake(site, path);
                                            });
        });
    }

    std::string refusal(const std::string& target, const beast::error_code& ec) {
        long verdict = SSL_get_verify_result(ws.next_layer().native_handle());
        if (verdict == X509_V_ERR_HOSTNAME_MISMATCH || verdict == X509_V_ERR_IP_ADDRESS_MISMATCH)
            return "cannot trust " + target + ": its certificate is for another name";
        if (verdict != X509_V_OK)
            return "cannot trust " + target + ": " + X509_verify_cert_error_string(verdict);
        if (ec == ssl::error::stream_truncated)
            return target + " ended the TLS handshake: is its address ws://, not wss://?";
        return "the TLS handshake with " + target + " failed: " + ec.message();
    }
};

class SecureSocket final : public NetTransport {
  public:
    explicit SecureSocket(const std::string& caFile) : link(caFile) {}
    void send(const std::vector<uint8_t>& message) override { link.send(message); }
    bool receive(std::vector<uint8_t>& message) override { return link.receive(message); }
    void poll() override { link.poll(); }
    NetLinkState state() const override { return link.state; }
    std::string error() const override { return link.error; }
    void close(const std::string& why) override { link.close(why); }
    uint64_t bytesSent() const override { return link.sent; }
    uint64_t bytesReceived() const override { return link.received; }

    SecureLink link;
};

std::unique_ptr<NetTransport> joinSecure(const std::string& host, uint16_t port,
                                         const std::string& path, const std::string& caFile) {
    auto socket = std::make_unique<SecureSocket>(caFile);
    socket->link.start(host, port, path);
    return socket;
}

} // namespace netws
