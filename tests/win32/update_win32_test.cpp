// The update check's fetch over the real WinINet, against the loopback HTTPS
// server of scripts/tls_server.py. scripts/test.sh starts it and names it in
// the environment; without it these tests are skipped.
//
// The test CA is added to this Wine prefix's local-machine Root store, the
// only place that trusts it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "update/version_check.h"

// After the program's headers, and <windows.h> before the rest of the SDK.
#include <windows.h>
// (kept apart so that the order stays)
#include <wincrypt.h>

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

void TrustTestCa(const std::string& derPath) {
  std::string der = ReadFile(derPath);
  ASSERT_FALSE(der.empty()) << derPath;
  HCERTSTORE store =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  ASSERT_NE(store, nullptr) << GetLastError();
  BOOL added = CertAddEncodedCertificateToStore(
      store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
      static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  DWORD error = GetLastError();
  CertCloseStore(store, 0);
  ASSERT_TRUE(added) << error;
}

class LoopbackFetch : public ::testing::Test {
 protected:
  // Before any fetch: a process reads the Root store once, at its first
  // certificate check.
  static void SetUpTestSuite() {
    std::string root = Env("TIDEWELL_TLS_DIR");
    if (!root.empty()) TrustTestCa(root + "\\tls\\trusted-ca.der");
  }
  void SetUp() override {
    trustedPort = Env("TIDEWELL_TLS_PORT");
    untrustedPort = Env("TIDEWELL_TLS_UNTRUSTED_PORT");
    root = Env("TIDEWELL_TLS_DIR");  // a Windows path
    if (trustedPort.empty() || untrustedPort.empty() || root.empty())
      GTEST_SKIP() << "no loopback server (scripts/test.sh starts one)";
  }
  std::wstring Address(const std::string& port, const char* path) {
    return L"https://127.0.0.1:" + Wide(port) + Wide(path);
  }
  std::string trustedPort, untrustedPort, root;
};

// With a certificate from a CA that is never trusted, the check fails
// silently.
TEST_F(LoopbackFetch, AnUntrustedCertificateEndsTheCheckSilently) {
  std::string body = "untouched";
  EXPECT_FALSE(FetchVersionList(Address(untrustedPort, "/downloads/version.htm"), body));
  EXPECT_EQ(body, "untouched");
}

TEST_F(LoopbackFetch, WithTheCaTrustedTheBodyIsReadUpToTheBound) {
  const std::string document = ReadFile(root + "\\www\\downloads\\version.htm");
  ASSERT_GT(document.size(), 10000u);

  std::string body;
  ASSERT_TRUE(FetchVersionList(Address(trustedPort, "/downloads/version.htm"), body));
  // Pieces of at most 1,023 bytes, stopped before the one that would pass
  // 10,000: a prefix of the document no more than one piece short of it.
  EXPECT_EQ(document.compare(0, body.size(), body), 0);
  EXPECT_LE(body.size(), 10000u);
  EXPECT_GT(body.size(), 10000u - 1023u);
  OwnVersion own{L"1.0.0.0", 1, 0, 0, 0};
  EXPECT_TRUE(ListsNewerVersion(body, own));

  // Not the version list: an error page, whatever it says.
  std::string missing = "untouched";
  EXPECT_FALSE(FetchVersionList(Address(trustedPort, "/downloads/missing.htm"), missing));
  EXPECT_EQ(missing, "untouched");
}

TEST_F(LoopbackFetch, NoServerOnThePortIsSilent) {
  std::string body = "untouched";
  EXPECT_FALSE(FetchVersionList(L"https://127.0.0.1:1/downloads/version.htm", body));
  EXPECT_EQ(body, "untouched");
}

}  // namespace
