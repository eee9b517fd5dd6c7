#include "comm/WireText.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace {

constexpr const char* kWireCodePage = "CP1251";
constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// One conversion descriptor per direction and thread: the simulator serves its pty bus from a
// thread of its own, and an iconv descriptor must not be shared between threads.
class TConverter {
 public:
  TConverter(const char* to, const char* from) : Cd(iconv_open(to, from)) {
    if (Cd == iconv_t(-1))
      throw std::runtime_error(std::string("no conversion from ") + from + " to " + to);
  }
  ~TConverter() { iconv_close(Cd); }
  TConverter(const TConverter&) = delete;
  TConverter& operator=(const TConverter&) = delete;

  // Converts all of in; an input sequence that cannot be converted is handed to onBad, which
  // either appends a replacement to out and returns the bytes to skip, or returns 0 to stop.
  template <class OnBad>
  bool Convert(const std::string& in, std::string& out, OnBad onBad) {
    iconv(Cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    out.clear();
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buffer[256];
    while (srcLeft > 0) {
      char* dst = buffer;
      size_t dstLeft = sizeof buffer;
      const size_t rc = iconv(Cd, &src, &srcLeft, &dst, &dstLeft);
      out.append(buffer, size_t(dst - buffer));
      if (rc != size_t(-1) || errno == E2BIG) continue;
      const size_t skip = onBad(out);
      if (skip == 0 || skip > srcLeft) return false;
      src += skip;
      srcLeft -= skip;
    }
    return true;
  }

 private:
  iconv_t Cd;
};

TConverter& ToWire() {
  thread_local TConverter converter(kWireCodePage, "UTF-8");
  return converter;
}

TConverter& FromWire() {
  thread_local TConverter converter("UTF-8", kWireCodePage);
  return converter;
}

}  // namespace

bool EncodeWireText(const std::string& text, std::string& bytes) {
  // No silent substitute: a character the module cannot store fails the whole text.
  return ToWire().Convert(text, bytes, [](std::string&) { return size_t(0); });
}

std::string DecodeWireText(const std::string& bytes) {
  std::string text;
  FromWire().Convert(bytes, text, [](std::string& out) {
    out += kReplacement;
    return size_t(1);
  });
  return text;
}
