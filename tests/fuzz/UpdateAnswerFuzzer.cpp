// The update server's answer as it arrives: bytes in pieces of a size the
// first byte chooses, read by the response reader, and its body read as a
// definitions dump. However the bytes are cut, the reader must come to the
// same answer, and nothing read may break the rules the merge relies on.

#include <cstdint>
#include <string>
#include <string_view>

#include "shared/net/HttpResponse.h"
#include "skylark/UpdateAnswer.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

tidewell::HttpResponse Read(std::string_view bytes, size_t piece, bool closes) {
  tidewell::HttpResponseReader reader;
  for (size_t at = 0; at < bytes.size() && !reader.Done(); at += piece) reader.Feed(bytes.substr(at, piece));
  if (closes) reader.Close();
  return reader.Take();
}

void CheckAnswer(std::string_view body) {
  tidewell::UpdateAnswer answer;
  if (!tidewell::ParseUpdateAnswer(body, answer)) return;
  Require(tidewell::IsWellFormedDate(answer.date));
  Require(answer.elementCount >= 1);
  Require(static_cast<int>(answer.records.size()) + answer.skipped <= answer.elementCount - 1);
  int last = -1;
  for (const auto& record : answer.records) {
    Require(record.index > last && record.index < answer.elementCount - 1);
    last = record.index;
    Require(record.clsid.size() == 38 && record.clsid.front() == '{' && record.clsid.back() == '}');
    for (const std::string* field : {&record.name, &record.files, &record.risk, &record.comments}) {
      Require(field->size() <= 255 && field->find('|') == std::string::npos);
      for (char c : *field) Require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    }
  }
  std::string text = tidewell::UpdateResultText(answer.elementCount);
  Require(!text.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t piece = data[0] % 16 + 1;
  bool closes = data[0] & 0x80;
  std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  tidewell::HttpResponse whole = Read(bytes, bytes.size() + 1, closes);
  tidewell::HttpResponse pieces = Read(bytes, piece, closes);
  Require(whole.complete == pieces.complete && whole.status == pieces.status && whole.body == pieces.body);
  Require(whole.body.size() <= bytes.size());
  Require(!whole.Succeeded() || (whole.complete && whole.status >= 200 && whole.status < 300));

  CheckAnswer(whole.body);
  CheckAnswer(bytes);
  return 0;
}
