// wss:// on 127.0.0.1: a TLS WebSocket echo server with a certificate for
// "localhost" made at test time (no key in the tree). Trusting it, the
// transport carries messages both ways and asks for the name it gave;
// untrusted, for another name, without its authority's file or against a
// plain server, it ends with its one line.
#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>

#include "netws/websocket.h"
#include "netws/ws_link.h"

#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket/ssl.hpp>

namespace {

using namespace netws;
namespace ssl = asio::ssl;

template <class Write> std::string pem(Write write) {
    BIO* bio = BIO_new(BIO_s_mem());
    write(bio);
    char* data = nullptr;
    long n = BIO_get_mem_data(bio, &data);
    std::string text(data, size_t(n));
    BIO_free(bio);
    return text;
}

// A certificate for "localhost" signed by itself, so its own authority: in a
// file, as a player would name it, and as the server's certificate and key.
struct TestPki {
    std::string caFile, cert, key;
    TestPki() {
        EVP_PKEY* k = EVP_EC_gen("P-256");
        X509* c = X509_new();
        X509_set_version(c, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(c), 1);
        X509_gmtime_adj(X509_getm_notBefore(c), -3600);
        X509_gmtime_adj(X509_getm_notAfter(c), 3600);
        X509_set_pubkey(c, k);
        X509_NAME_add_entry_by_txt(X509_get_subject_name(c), "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
        X509_set_issuer_name(c, X509_get_subject_name(c));
        X509V3_CTX v3;
        X509V3_set_ctx_nodb(&v3);
        X509V3_set_ctx(&v3, c, c, nullptr, nullptr, 0);
        X509_EXTENSION* names = X509V3_EXT_conf(nullptr, &v3, "subjectAltName", "DNS:localhost");
        X509_add_ext(c, names, -1);
        X509_EXTENSION_free(names);
        X509_sign(c, k, EVP_sha256());
        cert = pem([&](BIO* b) { PEM_write_bio_X509(b, c); });
        key = pem(
            [&](BIO* b) { PEM_write_bio_PrivateKey(b, k, nullptr, nullptr, 0, nullptr, nullptr); });
        X509_free(c);
        EVP_PKEY_free(k);
        caFile = (std::filesystem::temp_directory_path() /
                  ("soccer-test-ca-" + std::to_string(getpid()) + ".pem"))
                     .string();
        std::ofstream(caFile) << cert;
    }
    ~TestPki() { std::filesystem::remove(caFile); }
};

// One connection on 127.0.0.1: every binary message goes back as it came.
struct TlsEcho {
    asio::io_context io;
    ssl::context tls{ssl::context::tls_server};
    tcp::acceptor acceptor{io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)};
    std::optional<websocket::stream<beast::ssl_stream<tcp::socket>>> ws;
    beast::flat_buffer buffer;
    beast::http::request<beast::http::empty_body> upgrade;
    std::string askedFor, site; // the name asked for by SNI, and the Host

    explicit TlsEcho(const TestPki& pki) {
        tls.use_certificate_chain(asio::buffer(pki.cert));
        tls.use_private_key(asio::buffer(pki.key), ssl::context::pem);
        ws.emplace(io, tls);
        acceptor.async_accept(beast::get_lowest_layer(*ws), [this](beast::error_code ec) {
            if (!ec)
                ws->next_layer().async_handshake(ssl::stream_base::server,
                                                 [this](auto e) { handshaken(e); });
        });
    }
    void handshaken(beast::error_code ec) {
        if (ec) return;
        const char* name =
            SSL_get_servername(ws->next_layer().native_handle(), TLSEXT_NAMETYPE_host_name);
        askedFor = name ? name : "";
        beast::http::async_read(ws->next_layer(), buffer, upgrade, [this](auto e, size_t) {
            if (e) return;
            site = std::string(upgrade[beast::http::field::host]);
            ws->async_accept(upgrade, [this](beast::error_code e2) {
                if (!e2) echo();
            });
        });
    }
    void echo() {
        ws->async_read(buffer, [this](beast::error_code ec, size_t) {
            if (ec) return;
            ws->binary(true);
            ws->async_write(buffer.data(), [this](beast::error_code e, size_t n) {
                buffer.consume(n);
                if (!e) echo();
            });
        });
    }
    uint16_t port() const { return acceptor.local_endpoint().port(); }
};

// Polls until `done` or two seconds have passed.
bool pollUntil(const std::function<void()>& poll, const std::function<bool()>& done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        poll();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::unique_ptr<NetTransport> joinUrl(const std::string& url, const std::string& caFile) {
    NetRelayAddress at;
    std::string why;
    EXPECT_TRUE(netwsParseRelayUrl(url, at, why)) << why;
    return netwsJoinRelay(at, at.path, caFile);
}

TEST(Tls, TrustedServerCarriesMessagesBothWays) {
    TestPki pki;
    TlsEcho server(pki);
    auto link = joinUrl("wss://localhost:" + std::to_string(server.port()), pki.caFile);
    auto poll = [&] {
        link->poll();
        server.io.poll();
    };
    for (uint8_t k = 1; k <= 20; k++) link->send({0x05, k, uint8_t(k * 3)});
    std::vector<uint8_t> got, message;
    ASSERT_TRUE(pollUntil(poll, [&] {
        while (link->receive(message)) got.push_back(message[1] ^ message[2]);
        return got.size() == 20 || link->state() == NetLinkState::Closed;
    })) << link->error();
    ASSERT_EQ(got.size(), 20u) << link->error();
    for (uint8_t k = 1; k <= 20; k++) EXPECT_EQ(got[k - 1], k ^ uint8_t(k * 3));
    EXPECT_EQ(server.askedFor, "localhost");
    EXPECT_EQ(server.site, "localhost:" + std::to_string(server.port()));
    EXPECT_EQ(link->bytesSent(), 20u * (3 + 6));
    EXPECT_EQ(link->bytesReceived(), 20u * (3 + 2));
    link->close("");
    ASSERT_TRUE(pollUntil(poll, [&] { return link->state() == NetLinkState::Closed; }));
    EXPECT_EQ(link->error(), "");
}

TEST(Tls, RefusalsEachWithTheirLine) {
    TestPki pki;
    struct Case {
        const char* host;
        std::string caFile;
        bool plainServer; // a ws:// server given as wss://
        const char* line;
    } cases[] = {
        {"localhost", "", false, "cannot trust localhost:%: self-signed certificate"},
        {"127.0.0.1", pki.caFile, false,
         "cannot trust 127.0.0.1:%: its certificate is for another name"},
        {"localhost", "/nonexistent/ca.pem", false,
         "cannot read the certificates in /nonexistent/ca.pem: No such file or directory"},
        {"localhost", "/dev/null", false, "cannot read the certificates in /dev/null: it holds no"},
        {"127.0.0.1", pki.caFile, true,
         "127.0.0.1:% ended the TLS handshake: is its address ws://"},
    };
    for (const Case& c : cases) {
        TlsEcho server(pki);
        std::string why;
        auto plain = NetWebSocket::host(0, why);
        uint16_t port = c.plainServer ? plain->localPort() : server.port();
        auto link = joinUrl(std::string("wss://") + c.host + ":" + std::to_string(port), c.caFile);
        ASSERT_TRUE(pollUntil(
            [&] {
                link->poll();
                server.io.poll();
                plain->poll();
            },
            [&] { return link->state() == NetLinkState::Closed; }))
            << c.host;
        std::string line = c.line;
        if (line.find('%') != std::string::npos)
            line.replace(line.find('%'), 1, std::to_string(port));
        EXPECT_EQ(link->error().rfind(line, 0), 0u) << link->error();
        EXPECT_EQ(link->error().find('\n'), std::string::npos);
    }
}

} // namespace
