// Code page 936 through glibc's iconv. Its "GBK" module maps what Windows
// maps for code page 936 (0x80 is the euro sign, 0xA1A4 the middle dot),
// except for the user-defined areas, which Windows sends to the private use
// area and glibc leaves unmapped.
#include <iconv.h>

#include <cerrno>

#include "gbk_platform.h"

namespace convert::detail {
namespace {

// One converter per direction and thread, opened on first use: opening is
// far dearer than a conversion.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts all of `in`, appending to `out`; `maxGrowth` bounds the output
    // bytes per input byte.
    bool run(std::string_view in, std::string& out, std::size_t maxGrowth) {
        if (!ok()) return false;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        const std::size_t start = out.size();
        out.resize(start + in.size() * maxGrowth);
        char* src = const_cast<char*>(in.data());  // iconv never writes through it
        std::size_t srcLeft = in.size();
        char* dst = out.data() + start;
        std::size_t dstLeft = in.size() * maxGrowth;
        const std::size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
        out.resize(static_cast<std::size_t>(dst - out.data()));
        return rc != static_cast<std::size_t>(-1) && srcLeft == 0;
    }

  private:
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t cd_;
};

}  // namespace

bool gbkRunToUtf8(std::string_view gbk, std::string& out) {
    if (gbk.empty()) return true;
    thread_local Converter toUtf8("UTF-8", "GBK");
    // A GBK byte never needs more than three UTF-8 bytes.
    return toUtf8.run(gbk, out, 3);
}

bool utf8RunToGbk(std::string_view utf8, std::string& out) {
    if (utf8.empty()) return true;
    thread_local Converter toGbk("GBK", "UTF-8");
    // GBK is never longer than UTF-8 for the same characters; 2 is slack.
    return toGbk.run(utf8, out, 2);
}

}  // namespace convert::detail
