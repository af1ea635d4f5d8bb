// The HTTP response reader on any bytes, in pieces of a size the first byte
// chooses, with or without the server's close: however the bytes are cut it
// comes to the same answer, its own accounts agree, and it never hands back
// more body than arrived nor a whole answer that was not.

#include <cstdint>
#include <string>
#include <string_view>

#include "shared/net/HttpGet.h"
#include "shared/net/HttpResponse.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

struct Read {
  bool done = false;
  bool complete = false;
  size_t soFar = 0;
  std::optional<size_t> expected;
  tidewell::HttpResponse response;
};

Read ReadInPieces(std::string_view bytes, size_t piece, bool closes) {
  tidewell::HttpResponseReader reader;
  bool done = false;
  for (size_t at = 0; at < bytes.size() && !done; at += piece) {
    done = reader.Feed(bytes.substr(at, piece));
    Require(done == reader.Done());
    Require(reader.Raw().size() <= bytes.size());
  }
  if (closes) reader.Close();
  Read read;
  read.done = reader.Done();
  read.complete = reader.Complete();
  read.soFar = reader.BodyLengthSoFar();
  read.expected = reader.ExpectedBodyLength();
  // Bytes after the end change nothing.
  std::string before = reader.Raw();
  if (reader.Done()) Require(reader.Feed("HTTP/1.1 200 OK\r\n\r\n") && reader.Raw() == before);
  read.response = reader.Take();
  return read;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t piece = data[0] % 16 + 1;
  bool closes = data[0] & 0x80;
  std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  Read whole = ReadInPieces(bytes, bytes.size() + 1, closes);
  Read pieces = ReadInPieces(bytes, piece, closes);
  Read bytewise = ReadInPieces(bytes, 1, closes);
  for (const Read* other : {&pieces, &bytewise}) {
    Require(other->done == whole.done && other->complete == whole.complete);
    Require(other->response.status == whole.response.status && other->response.body == whole.response.body);
    Require(other->response.complete == whole.response.complete);
  }

  const tidewell::HttpResponse& response = whole.response;
  Require(response.complete == whole.complete);
  Require(response.body.size() <= bytes.size());
  Require(response.status == 0 || (response.status >= 100 && response.status <= 999));
  Require(!response.Succeeded() || (response.complete && response.status >= 200 && response.status < 300));
  Require(!response.tooLarge);  // only a fetch's cap sets it
  if (whole.complete) Require(response.body.size() == whole.soFar);
  if (whole.complete && whole.expected) Require(response.body.size() == *whole.expected);
  // Without the close the answer's end must be in the bytes themselves.
  if (!closes) Require(tidewell::IsCompleteHttpResponse(bytes) == whole.done);

  // The line form: every line ended by CR LF, and nothing but line ends added.
  std::string lines = tidewell::NormalizeHttpLines(bytes);
  for (size_t at = lines.find('\n'); at != std::string::npos; at = lines.find('\n', at + 1))
    Require(at > 0 && lines[at - 1] == '\r');
  Require(bytes.empty() || (lines.size() >= 2 && lines.compare(lines.size() - 2, 2, "\r\n") == 0));
  Require(lines.size() <= 2 * bytes.size() + 2);
  return 0;
}
