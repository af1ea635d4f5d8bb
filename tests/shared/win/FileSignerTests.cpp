#include "shared/win/FileSigner.h"

#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "shared/win/Utf8.h"
#include "tests/support/TestFolder.h"

namespace tidewell {
namespace {

std::filesystem::path Fixture(const char* name) { return test::ProgramFolder() / "signing" / name; }

// The fixtures' self-signed certificate in the machine's root store (of the
// test prefix) for as long as the object lives.
class TrustedTestRoot {
 public:
  TrustedTestRoot() {
    const std::string der = test::ReadWholeFile(Utf8FromPath(Fixture("signer.cer")));
    store_ = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (store_ && !der.empty())
      ::CertAddEncodedCertificateToStore(store_, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                         static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                         &certificate_);
    // The registry store writes only on commit or its last close.
    if (certificate_) ::CertControlStore(store_, 0, CERT_STORE_CTRL_COMMIT, nullptr);
  }
  ~TrustedTestRoot() {
    // Deleting frees the context too.
    if (certificate_) ::CertDeleteCertificateFromStore(certificate_);
    if (store_) {
      ::CertControlStore(store_, 0, CERT_STORE_CTRL_COMMIT, nullptr);
      ::CertCloseStore(store_, 0);
    }
  }
  TrustedTestRoot(const TrustedTestRoot&) = delete;
  TrustedTestRoot& operator=(const TrustedTestRoot&) = delete;
  bool Added() const { return certificate_ != nullptr; }

 private:
  HCERTSTORE store_ = nullptr;
  PCCERT_CONTEXT certificate_ = nullptr;
};

TEST(FileSigner, TellsWhoSignedAndWhetherToTrustIt) {
  using State = FileSignature::State;
  constexpr const char* kSigner = "Tidewell Test Signer";
  struct Case {
    const char* file;
    bool rootTrusted;
    State state;
    const char* signer;
  } cases[] = {
      {"unsigned.dll", false, State::Unsigned, ""},
      {"unsigned.dll", true, State::Unsigned, ""},
      {"signed.dll", false, State::NotTrusted, kSigner},
      {"signed.dll", true, State::Trusted, kSigner},
      {"changed.dll", false, State::Changed, kSigner},
      {"changed.dll", true, State::Changed, kSigner},
      {"signed.dll", false, State::NotTrusted, kSigner},  // the root is gone again
  };
  // A name beyond the ANSI code page proves the path goes through UTF-16.
  test::TempFolder folder;
  for (const Case& c : cases) {
    const std::string path = folder.File(std::string("Čech 日本 😀 ") + c.file);
    std::filesystem::copy_file(Fixture(c.file), PathFromUtf8(path),
                               std::filesystem::copy_options::overwrite_existing);
    std::optional<TrustedTestRoot> root;
    if (c.rootTrusted) {
      root.emplace();
      ASSERT_TRUE(root->Added());
    }
    const FileSignature signature = SignatureOf(path);
    EXPECT_EQ(signature.state, c.state) << c.file << (c.rootTrusted ? " with the root trusted" : "");
    EXPECT_EQ(signature.signer, c.signer) << c.file;
  }
  EXPECT_EQ(SignatureOf(folder.File("missing.dll")).state, State::Unsigned);
}

}  // namespace
}  // namespace tidewell
