#include "shared/win/FileSigner.h"

// clang-format off
#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>
// clang-format on

#include <map>
#include <mutex>
#include <optional>
#include <tuple>
#include <vector>

#include "shared/win/Handles.h"
#include "shared/win/Utf8.h"

namespace tidewell {
namespace {

struct StoreTraits : NullEmptyTraits<HCERTSTORE> {
  static void Close(HCERTSTORE store) { ::CertCloseStore(store, 0); }
};
struct MessageTraits : NullEmptyTraits<HCRYPTMSG> {
  static void Close(HCRYPTMSG message) { ::CryptMsgClose(message); }
};
struct CertificateTraits : NullEmptyTraits<PCCERT_CONTEXT> {
  static void Close(PCCERT_CONTEXT certificate) { ::CertFreeCertificateContext(certificate); }
};
struct EngineTraits : NullEmptyTraits<HCERTCHAINENGINE> {
  static void Close(HCERTCHAINENGINE engine) { ::CertFreeCertificateChainEngine(engine); }
};
struct ChainTraits : NullEmptyTraits<PCCERT_CHAIN_CONTEXT> {
  static void Close(PCCERT_CHAIN_CONTEXT chain) { ::CertFreeCertificateChain(chain); }
};

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

struct EmbeddedSigner {
  std::string name;
  // Whether the certificate leads to a root the machine trusts. Wine's
  // WinVerifyTrust passes an untrusted root, so this is asked separately.
  bool chainTrusted = false;
};

bool ChainTrusted(PCCERT_CONTEXT certificate, HCERTSTORE extra) {
  // A fresh engine reads the root store as it is now: Wine's default engine
  // keeps the roots it read first for the life of the process.
  CERT_CHAIN_ENGINE_CONFIG config{};
  config.cbSize = sizeof config;
  UniqueResource<HCERTCHAINENGINE, EngineTraits> engine;
  if (!::CertCreateCertificateChainEngine(&config, engine.Put())) return false;
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  UniqueResource<PCCERT_CHAIN_CONTEXT, ChainTraits> chain;
  if (!::CertGetCertificateChain(engine.Get(), certificate, nullptr, extra, &para,
                                 CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, chain.Put()))
    return false;
  // An expired certificate is no reason: a time stamp keeps its files good.
  constexpr DWORD kFatal = CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN |
                           CERT_TRUST_IS_NOT_SIGNATURE_VALID | CERT_TRUST_IS_REVOKED |
                           CERT_TRUST_IS_CYCLIC;
  return (chain.Get()->TrustStatus.dwErrorStatus & kFatal) == 0;
}

// Nothing when the file holds no embedded signature.
std::optional<EmbeddedSigner> ReadEmbeddedSigner(const std::wstring& path) {
  UniqueResource<HCERTSTORE, StoreTraits> store;
  UniqueResource<HCRYPTMSG, MessageTraits> message;
  DWORD encoding = 0, content = 0, format = 0;
  if (!::CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                          CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &content, &format, store.Put(),
                          message.Put(), nullptr))
    return std::nullopt;
  EmbeddedSigner signer;
  DWORD size = 0;
  if (!::CryptMsgGetParam(message.Get(), CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size) || size == 0) return signer;
  std::vector<unsigned char> buffer(size);
  if (!::CryptMsgGetParam(message.Get(), CMSG_SIGNER_INFO_PARAM, 0, buffer.data(), &size)) return signer;
  const auto* info = reinterpret_cast<const CMSG_SIGNER_INFO*>(buffer.data());
  CERT_INFO wanted{};
  wanted.Issuer = info->Issuer;
  wanted.SerialNumber = info->SerialNumber;
  UniqueResource<PCCERT_CONTEXT, CertificateTraits> certificate(
      ::CertFindCertificateInStore(store.Get(), kEncoding, 0, CERT_FIND_SUBJECT_CERT, &wanted, nullptr));
  if (!certificate) return signer;
  DWORD length = ::CertGetNameStringW(certificate.Get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
  if (length > 1) {
    std::wstring name(length, L'\0');
    ::CertGetNameStringW(certificate.Get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name.data(), length);
    name.resize(length - 1);
    signer.name = Utf8FromWideLossy(name);
  }
  signer.chainTrusted = ChainTrusted(certificate.Get(), store.Get());
  return signer;
}

LONG VerifyTrust(const std::wstring& path) {
  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = path.c_str();
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  // INVALID_HANDLE_VALUE: no window, so no UI even where a policy asks for one.
  const auto noWindow = static_cast<HWND>(INVALID_HANDLE_VALUE);
  const LONG result = ::WinVerifyTrust(noWindow, &action, &data);
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  ::WinVerifyTrust(noWindow, &action, &data);
  return result;
}

}  // namespace

FileSignature SignatureOf(const std::string& path) {
  using State = FileSignature::State;
  const std::wstring wide = WideFromUtf8(path);
  if (wide.empty()) return {};
  const LONG result = VerifyTrust(wide);
  const std::optional<EmbeddedSigner> signer = ReadEmbeddedSigner(wide);
  if (!signer) {
    // Trusted although its signature could not be read: signed, by no known name.
    return result == ERROR_SUCCESS ? FileSignature{State::Trusted, ""} : FileSignature{};
  }
  FileSignature signature{State::NotTrusted, signer->name};
  if (result == ERROR_SUCCESS && signer->chainTrusted) signature.state = State::Trusted;
  if (static_cast<HRESULT>(result) == TRUST_E_BAD_DIGEST) signature.state = State::Changed;
  return signature;
}

FileSignature CachedSignatureOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(WideFromUtf8(path).c_str(), GetFileExInfoStandard, &data)) return {};
  using Key = std::tuple<std::string, DWORD, DWORD, DWORD, DWORD>;
  Key key{UpperCaseName(path), data.nFileSizeHigh, data.nFileSizeLow, data.ftLastWriteTime.dwHighDateTime,
          data.ftLastWriteTime.dwLowDateTime};
  static std::mutex mutex;
  static std::map<Key, FileSignature> known;
  {
    std::lock_guard lock(mutex);
    if (auto found = known.find(key); found != known.end()) return found->second;
  }
  // Checked outside the lock: a slow file must not hold up the others.
  FileSignature signature = SignatureOf(path);
  std::lock_guard lock(mutex);
  return known.emplace(key, signature).first->second;
}

std::string SignerTextOf(const std::string& path) {
  if (path.empty() || GetFileAttributesW(WideFromUtf8(path).c_str()) == INVALID_FILE_ATTRIBUTES) return "no file";
  return SignatureText(CachedSignatureOf(path));
}

}  // namespace tidewell
