#include "text/converter.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace quibo::convert {
namespace {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

const char* IcuName(Charset c) {
  return c == Charset::kUtf8 ? "UTF-8" : "GB18030";
}

// One converter per charset and thread: opening one costs far more than a
// short message's conversion, and a converter must not be shared.
UConverter* ThreadConverter(Charset c) {
  thread_local ConverterPtr converters[2];
  ConverterPtr& slot = converters[static_cast<int>(c)];
  if (!slot) {
    UErrorCode status = U_ZERO_ERROR;
    slot.reset(ucnv_open(IcuName(c), &status));
    if (U_FAILURE(status)) slot.reset();
  }
  if (slot) ucnv_reset(slot.get());
  return slot.get();
}

// Non-spacing marks of the Basic Multilingual Plane, one bit each, so the
// common case (no mark at all) costs a table look-up per unit.
class BmpMarks {
 public:
  BmpMarks() {
    for (UChar32 c = 0; c < 0x10000; ++c) {
      if (u_charType(c) == U_NON_SPACING_MARK) bits_[c >> 6] |= uint64_t{1} << (c & 63);
    }
  }
  bool Has(char16_t u) const { return (bits_[u >> 6] >> (u & 63)) & 1; }

 private:
  uint64_t bits_[0x10000 / 64] = {};
};

const BmpMarks& Marks() {
  static const BmpMarks marks;
  return marks;
}

bool IsMark(UChar32 c) {
  return c < 0x10000 ? Marks().Has(static_cast<char16_t>(c)) : u_charType(c) == U_NON_SPACING_MARK;
}

}  // namespace

Charset CharsetOf(int codePage) {
  return codePage == 65001 ? Charset::kUtf8 : Charset::kGb18030;
}

std::u16string ToUtf16(std::string_view bytes, Charset from) {
  std::u16string out;
  UConverter* conv = ThreadConverter(from);
  if (conv == nullptr || bytes.empty()) return out;
  // A byte yields at most one unit (a four-byte sequence at most two), so the
  // first size nearly always suffices; ICU resumes if it does not.
  out.resize(bytes.size() + 1);
  const char* src = bytes.data();
  const char* srcEnd = src + bytes.size();
  std::size_t written = 0;
  while (true) {
    UChar* dst = out.data() + written;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_toUnicode(conv, &dst, out.data() + out.size(), &src, srcEnd, nullptr, true, &status);
    written = static_cast<std::size_t>(dst - out.data());
    if (status != U_BUFFER_OVERFLOW_ERROR) break;
    out.resize(out.size() * 2);
  }
  out.resize(written);
  return out;
}

std::string FromUtf16(std::u16string_view units, Charset to) {
  std::string out;
  UConverter* conv = ThreadConverter(to);
  if (conv == nullptr || units.empty()) return out;
  out.resize(units.size() * 2 + 8);
  const UChar* src = units.data();
  const UChar* srcEnd = src + units.size();
  std::size_t written = 0;
  while (true) {
    char* dst = out.data() + written;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_fromUnicode(conv, &dst, out.data() + out.size(), &src, srcEnd, nullptr, true, &status);
    written = static_cast<std::size_t>(dst - out.data());
    if (status != U_BUFFER_OVERFLOW_ERROR) break;
    out.resize(out.size() * 2);
  }
  out.resize(written);
  return out;
}

std::string Convert(std::string_view bytes, Charset from, Charset to) {
  std::string out;
  if (bytes.empty()) return out;
  UConverter* source = ThreadConverter(from);
  UConverter* target = ThreadConverter(to);
  if (source == nullptr || target == nullptr) return out;
  // Start from a close guess and grow; ICU resumes where it stopped.
  out.resize(bytes.size() + bytes.size() / 2 + 16);
  UChar pivot[4096];
  UChar* pivotSource = pivot;
  UChar* pivotTarget = pivot;
  const char* src = bytes.data();
  const char* srcEnd = src + bytes.size();
  std::size_t written = 0;
  bool reset = true;
  while (true) {
    char* dst = out.data() + written;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_convertEx(target, source, &dst, out.data() + out.size(), &src, srcEnd, pivot, &pivotSource,
                   &pivotTarget, pivot + 4096, reset, true, &status);
    written = static_cast<std::size_t>(dst - out.data());
    reset = false;
    if (status != U_BUFFER_OVERFLOW_ERROR) break;
    out.resize(out.size() * 2);
  }
  out.resize(written);
  return out;
}

bool HasMarks(std::u16string_view units) {
  const BmpMarks& marks = Marks();
  for (std::size_t i = 0; i < units.size(); ++i) {
    char16_t u = units[i];
    if (U16_IS_LEAD(u) && i + 1 < units.size() && U16_IS_TRAIL(units[i + 1])) {
      if (IsMark(U16_GET_SUPPLEMENTARY(u, units[i + 1]))) return true;
      ++i;
    } else if (marks.Has(u)) {
      return true;
    }
  }
  return false;
}

std::u16string ComposeMarks(std::u16string_view units) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  std::u16string out;
  if (U_FAILURE(status)) return std::u16string(units);
  out.reserve(units.size());
  const std::size_t n = units.size();
  std::size_t i = 0;
  while (i < n) {
    UChar32 base;
    std::size_t next = i;
    U16_NEXT(units.data(), next, n, base);
    // Canonical composition, marks taken in the order given: a mark composes
    // unless an earlier mark that stayed has the same or a higher class.
    std::size_t j = next;
    std::u16string kept;
    uint8_t lastKeptClass = 0;
    bool composedAny = false;
    while (j < n) {
      UChar32 mark;
      std::size_t after = j;
      U16_NEXT(units.data(), after, n, mark);
      if (!IsMark(mark)) break;
      uint8_t cls = nfc->getCombiningClass(mark);
      UChar32 composed = (kept.empty() || lastKeptClass < cls) ? nfc->composePair(base, mark) : -1;
      if (composed >= 0) {
        base = composed;
        composedAny = true;
      } else {
        kept.append(units.substr(j, after - j));
        lastKeptClass = cls;
      }
      j = after;
    }
    if (composedAny) {
      UChar buf[2];
      int32_t len = 0;
      U16_APPEND_UNSAFE(buf, len, base);
      out.append(buf, static_cast<std::size_t>(len));
      out.append(kept);
    } else {
      out.append(units.substr(i, j - i));
    }
    i = j;
  }
  return out;
}

Bytes Utf8ToGb18030ComposingMarks(std::string_view utf8) {
  Bytes out;
  UConverter* decoder = ThreadConverter(Charset::kUtf8);
  UConverter* encoder = ThreadConverter(Charset::kGb18030);
  if (decoder == nullptr || encoder == nullptr || utf8.empty()) return out;
  // Chunks small enough to stay in cache. The last character of a chunk and
  // any marks after it wait for the next chunk, where more marks may follow.
  constexpr std::size_t kChunk = 8192;
  std::u16string units(std::min(kChunk, utf8.size() + 1), u'\0');
  std::size_t carried = 0;
  std::size_t written = 0;
  // Room for the usual result at once, as Convert makes it: growing with
  // each chunk instead copied and faulted in the output again and again, a
  // quarter of the time on 50 MB.
  out.resize(utf8.size() + utf8.size() / 2 + 16);
  const char* src = utf8.data();
  const char* srcEnd = src + utf8.size();
  bool lastChunk = false;
  while (!lastChunk) {
    UChar* dst = units.data() + carried;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_toUnicode(decoder, &dst, units.data() + units.size(), &src, srcEnd, nullptr, true,
                   &status);
    lastChunk = status != U_BUFFER_OVERFLOW_ERROR;
    std::size_t filled = static_cast<std::size_t>(dst - units.data());
    std::size_t keep = filled;
    if (!lastChunk) {
      std::size_t k = filled;
      while (k > 0) {
        std::size_t start = k - 1;
        if (start > 0 && U16_IS_TRAIL(units[start]) && U16_IS_LEAD(units[start - 1])) --start;
        UChar32 c;
        std::size_t probe = start;
        U16_NEXT(units.data(), probe, filled, c);
        k = start;
        if (!IsMark(c)) break;
      }
      if (k > 0) keep = k;  // a chunk of marks alone goes on whole
    }
    std::u16string_view chunk(units.data(), keep);
    std::u16string composed;
    if (HasMarks(chunk)) {
      composed = ComposeMarks(chunk);
      chunk = composed;
    }
    // GB18030 needs at most four bytes a unit.
    if (out.size() < written + chunk.size() * 4 + 16) out.resize(written + chunk.size() * 4 + 16);
    char* target = reinterpret_cast<char*>(out.data()) + written;
    const UChar* from = chunk.data();
    UErrorCode encodeStatus = U_ZERO_ERROR;
    ucnv_fromUnicode(encoder, &target, reinterpret_cast<char*>(out.data()) + out.size(), &from,
                     chunk.data() + chunk.size(), nullptr, lastChunk, &encodeStatus);
    written = static_cast<std::size_t>(target - reinterpret_cast<char*>(out.data()));
    carried = filled - keep;
    std::copy(units.begin() + static_cast<std::ptrdiff_t>(keep),
              units.begin() + static_cast<std::ptrdiff_t>(filled), units.begin());
  }
  out.resize(written);
  return out;
}

}  // namespace quibo::convert
