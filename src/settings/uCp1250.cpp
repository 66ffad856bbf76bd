#include "uCp1250.h"

#include <cstdint>
#include <mutex>

#include <libxml/encoding.h>

namespace {

// Characters of the bytes 80h..FFh; 0 where the code page assigns none.
constexpr char16_t kHigh[128] = {
    0x20AC, 0,      0x201A, 0,      0x201E, 0x2026, 0x2020, 0x2021,
    0,      0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0,      0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

// The character of one byte, -1 for an unassigned byte.
long Decode(unsigned char b) {
  if (b < 0x80) return b;
  const char16_t c = kHigh[b - 0x80];
  return c ? c : -1;
}

// The byte of one character, -1 when the code page has none.
int Encode(uint32_t c) {
  if (c < 0x80) return static_cast<int>(c);
  for (int i = 0; i < 128; ++i)
    if (kHigh[i] == c) return 0x80 + i;
  return -1;
}

int PutUtf8(uint32_t c, unsigned char* out) {
  if (c < 0x80) { out[0] = static_cast<unsigned char>(c); return 1; }
  if (c < 0x800) {
    out[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
    out[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 2;
  }
  out[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
  out[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
  out[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
  return 3;
}

// One UTF-8 sequence at p: its length in `used` (0 when it is cut off at the end), the
// character, or -1 for a malformed sequence (then `used` is what to skip).
long GetUtf8(const unsigned char* p, size_t left, size_t& used) {
  const unsigned char c = p[0];
  size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n == 0) { used = 1; return -1; }
  if (n > left) { used = 0; return -1; }
  uint32_t v = n == 1 ? c : c & (0x7F >> n);
  for (size_t i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) { used = i; return -1; }
    v = (v << 6) | (p[i] & 0x3F);
  }
  used = n;
  return v;
}

// libxml2 may call a converter without buffers to flush it: nothing is converted then.
bool NothingToConvert(const unsigned char* out, int* outlen, const unsigned char* in, int* inlen) {
  if (in && inlen && out && outlen) return false;
  if (outlen) *outlen = 0;
  if (inlen) *inlen = 0;
  return true;
}

int Cp1250ToUtf8Chunk(unsigned char* out, int* outlen, const unsigned char* in, int* inlen) {
  if (NothingToConvert(out, outlen, in, inlen)) return 0;
  int i = 0, o = 0;
  int rc = 0;
  for (; i < *inlen; ++i) {
    const long c = Decode(in[i]);
    if (c < 0) { rc = -2; break; }
    unsigned char buf[3];
    const int n = PutUtf8(static_cast<uint32_t>(c), buf);
    if (o + n > *outlen) break;
    for (int k = 0; k < n; ++k) out[o++] = buf[k];
  }
  *inlen = i;
  *outlen = o;
  return rc ? rc : o;
}

int Utf8ToCp1250Chunk(unsigned char* out, int* outlen, const unsigned char* in, int* inlen) {
  if (NothingToConvert(out, outlen, in, inlen)) return 0;
  int i = 0, o = 0;
  int rc = 0;
  while (i < *inlen && o < *outlen) {
    size_t used = 0;
    const long c = GetUtf8(in + i, static_cast<size_t>(*inlen - i), used);
    if (used == 0) break;  // the rest of the sequence comes with the next chunk
    const int b = c < 0 ? -1 : Encode(static_cast<uint32_t>(c));
    if (b < 0) { rc = -2; break; }  // libxml2 writes a character reference instead
    out[o++] = static_cast<unsigned char>(b);
    i += static_cast<int>(used);
  }
  *inlen = i;
  *outlen = o;
  return rc ? rc : o;
}

}  // namespace

std::string Cp1250ToUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char b : bytes) {
    const long c = Decode(b);
    if (c < 0) continue;
    unsigned char buf[3];
    out.append(reinterpret_cast<const char*>(buf), static_cast<size_t>(PutUtf8(static_cast<uint32_t>(c), buf)));
  }
  return out;
}

std::string Utf8ToCp1250(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  size_t i = 0;
  while (i < text.size()) {
    size_t used = 0;
    const long c = GetUtf8(p + i, text.size() - i, used);
    if (used == 0) used = text.size() - i;  // a sequence cut off at the end
    const int b = c < 0 ? -1 : Encode(static_cast<uint32_t>(c));
    out += b < 0 ? '?' : static_cast<char>(b);
    i += used;
  }
  return out;
}

void RegisterCp1250WithLibxml() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlNewCharEncodingHandler("windows-1250", Cp1250ToUtf8Chunk, Utf8ToCp1250Chunk);
    xmlAddEncodingAlias("windows-1250", "CP1250");
  });
}
