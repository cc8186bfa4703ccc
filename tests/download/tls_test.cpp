// https video addresses: the transfer speaks TLS with the system's
// certificate checks. nginx serves the file on loopback with a certificate
// from a test authority made for this run (openssl), which the test adds to
// the user's trusted roots and removes again. A second server presents a
// certificate from an authority nobody trusts, which must fail. (The address
// names the host "localhost": the certificate check matches host names, not
// the IP address entry.)
#include "download/wininet_transfer.h"
#include "tests/download/unix_helpers_win.h"

#include <gtest/gtest.h>

#include <wincrypt.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace unixside;

// A certificate authority and a server certificate for 127.0.0.1/localhost,
// both valid for two days: `<name>.pem` and `<name>.key` in `folder`.
std::string MakeCertificates(const std::string& openssl) {
    std::string script = "set -e\ncd \"$1\"\n";
    script += "printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\\nextendedKeyUsage=serverAuth\\n'"
              " > server.ext\n";
    for (const std::string ca : {"trusted", "stranger"}) {
        script += "'" + openssl + "' req -x509 -newkey rsa:2048 -nodes -days 2 -keyout " + ca +
                  "-ca.key -out " + ca + "-ca.pem -subj '/CN=Torvane Brenlow test " + ca +
                  "' -addext basicConstraints=critical,CA:TRUE"
                  " -addext keyUsage=critical,keyCertSign,cRLSign\n";
        script += "'" + openssl + "' req -newkey rsa:2048 -nodes -keyout " + ca + ".key -out " +
                  ca + ".csr -subj /CN=localhost\n";
        script += "'" + openssl + "' x509 -req -days 2 -in " + ca + ".csr -CA " + ca +
                  "-ca.pem -CAkey " + ca + "-ca.key -CAcreateserial -extfile server.ext -out " +
                  ca + ".pem\n";
    }
    return script;
}

// The DER bytes of the first certificate in a PEM file.
std::vector<BYTE> DerOf(const std::string& pem) {
    DWORD size = 0;
    if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                              nullptr))
        return {};
    std::vector<BYTE> der(size);
    if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr,
                              nullptr))
        return {};
    der.resize(size);
    return der;
}

// The test authority among the user's trusted roots while this object lives.
// The store is closed after each change: the system's certificate checks
// read the roots afresh and see only what a closed store has saved.
class TrustedRoot {
public:
    explicit TrustedRoot(std::vector<BYTE> der) : m_der(std::move(der)) {
        HCERTSTORE store = OpenRoots();
        m_bAdded = store && !m_der.empty() &&
                   CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, m_der.data(),
                                                    static_cast<DWORD>(m_der.size()),
                                                    CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
        if (store)
            CertCloseStore(store, 0);
    }
    ~TrustedRoot() {
        if (!m_bAdded)
            return;
        HCERTSTORE store = OpenRoots();
        PCCERT_CONTEXT mine = CertCreateCertificateContext(X509_ASN_ENCODING, m_der.data(),
                                                           static_cast<DWORD>(m_der.size()));
        if (store && mine) {
            if (PCCERT_CONTEXT found = CertFindCertificateInStore(
                    store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, mine, nullptr))
                CertDeleteCertificateFromStore(found); // frees `found` as well
        }
        if (mine)
            CertFreeCertificateContext(mine);
        if (store)
            CertCloseStore(store, 0);
    }
    TrustedRoot(const TrustedRoot&) = delete;
    TrustedRoot& operator=(const TrustedRoot&) = delete;
    bool Ok() const { return m_bAdded; }

private:
    static HCERTSTORE OpenRoots() {
        return CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER,
                             L"Root");
    }
    std::vector<BYTE> m_der;
    bool m_bAdded = false;
};

TEST(TlsTransfer, HttpsWithATrustedCertificateDownloadsAndAnUntrustedOneFails) {
    const std::string openssl = EnvOr("TB_OPENSSL", "/usr/bin/openssl");
    const std::string nginxProgram = EnvOr("TB_NGINX", "/usr/sbin/nginx");
    const std::string curl = EnvOr("TB_CURL", "/usr/bin/curl");
    for (const std::string& program : {openssl, nginxProgram, curl})
        if (GetFileAttributesW((L"Z:" + Widen(program)).c_str()) == INVALID_FILE_ATTRIBUTES)
            GTEST_SKIP() << "needs openssl, nginx and curl (scripts/setup.sh installs them)";

    Scratch scratch(L"tb-tls-test");
    ASSERT_TRUE(scratch.Ok());
    // Every step here ends in a second or two; one that hangs is named and
    // ends the test, with the servers stopped.
    Watchdog watchdog(std::chrono::seconds(90), [&scratch] {
        std::fprintf(stderr, "nginx's log:\n%s\n", NginxErrorLog(scratch).c_str());
        StopNginx(scratch);
    });
    watchdog.Step("writing the movie file");
    CreateDirectoryW((scratch.win + L"www").c_str(), nullptr);
    std::string body;
    for (int i = 0; i < 300000; ++i)
        body += static_cast<char>(i * 13 + 1);
    {
        std::ofstream out{std::filesystem::path(scratch.win + L"www\\video.flv"), std::ios::binary};
        out << body;
    }
    watchdog.Step("making the certificates");
    ASSERT_TRUE(RunShell(scratch, "set -- '" + scratch.unix + "'\n" + MakeCertificates(openssl),
                         std::chrono::seconds(60)));

    // Two TLS servers: the port given, with the trusted authority's
    // certificate, and the next one with the stranger's.
    watchdog.Step("starting nginx");
    const int strangerPort = FreePort();
    Nginx nginx(scratch, [&](int port, const std::string& u) {
        std::string servers;
        for (const auto& [p, ca] :
             {std::pair{port, "trusted"}, std::pair{strangerPort, "stranger"}})
            servers += "  server { listen 127.0.0.1:" + std::to_string(p) + " ssl; root " + u +
                       "www; ssl_certificate " + u + ca + ".pem; ssl_certificate_key " + u + ca +
                       ".key; }\n";
        return servers;
    });
    ASSERT_TRUE(nginx.Ok());

    // A Linux client first: a server that takes connections but does not
    // answer them would leave the transfer waiting for a handshake forever.
    watchdog.Step("fetching over TLS with curl");
    const auto served = RunShell(scratch,
                                 "'" + curl + "' -sS --max-time 20 --cacert '" + scratch.unix +
                                     "trusted-ca.pem' -o '" + scratch.unix +
                                     "curl.flv' -w '%{http_code}' https://localhost:" +
                                     std::to_string(nginx.Port()) + "/video.flv",
                                 std::chrono::seconds(40));
    if (!served || *served != "200")
        GTEST_SKIP() << "nginx does not serve TLS on this machine; its log:\n"
                     << NginxErrorLog(scratch);

    watchdog.Step("adding the test authority to the trusted roots");
    TrustedRoot root(DerOf(ReadText(scratch.win + L"trusted-ca.pem")));
    ASSERT_TRUE(root.Ok());

    struct Case {
        int port;
        int result;
    } cases[] = {{nginx.Port(), 0}, {strangerPort, 1}};
    for (const Case& c : cases) {
        watchdog.Step("downloading from port " + std::to_string(c.port));
        CYoutubeFile movie;
        movie.m_strVideoUrl = L"https://localhost:" + std::to_wstring(c.port) + L"/video.flv";
        movie.m_strFilePath = scratch.win + L"got-" + std::to_wstring(c.port) + L".flv";
        EXPECT_EQ(DownloadVideo(movie), c.result) << c.port;
        if (c.result == 0) {
            EXPECT_EQ(movie.m_dwSize.load(), body.size());
            EXPECT_EQ(movie.m_nProgress.load(), 100);
            EXPECT_TRUE(ReadText(movie.m_strFilePath) == body); // no dump of 300 kB
        } else {
            EXPECT_EQ(FileSize(movie.m_strFilePath), 0u); // nothing taken from it
        }
    }
    watchdog.Step("removing the test authority, stopping nginx");
}

} // namespace
