#include "platform/sandbox/code_page_text.h"

#include "platform/windows_1252.h"

#include <cerrno>
#include <iconv.h>
#include <string>

namespace qb::sandbox {

namespace {

class Converter {
public:
    explicit Converter(const std::string& from) : handle_(::iconv_open("UTF-8", from.c_str())) {}
    ~Converter() {
        if (Ready()) {
            ::iconv_close(handle_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Ready() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    std::string Convert(std::string_view bytes) {
        std::string out;
        std::string input(bytes);
        char* in = input.data();
        std::size_t inLeft = input.size();
        char buffer[256];
        while (inLeft > 0) {
            char* next = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t done = ::iconv(handle_, &in, &inLeft, &next, &outLeft);
            out.append(buffer, static_cast<std::size_t>(next - buffer));
            if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
                // An undefined byte, or a lead byte without its trail: one replacement, then go on.
                out += "\xEF\xBF\xBD";
                ++in;
                --inLeft;
                ::iconv(handle_, nullptr, nullptr, nullptr, nullptr);
            }
        }
        return out;
    }

private:
    iconv_t handle_;
};

} // namespace

std::string CodePageToUtf8(unsigned codePage, std::string_view bytes) {
    Converter converter(codePage == 65001 ? std::string("UTF-8") : "CP" + std::to_string(codePage));
    if (!converter.Ready()) {
        return Windows1252ToUtf8(bytes);
    }
    return converter.Convert(bytes);
}

} // namespace qb::sandbox
