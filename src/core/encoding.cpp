#include "core/encoding.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>
#include <unicode/ustring.h>

#include <limits>
#include <vector>

namespace velmora {

namespace {

// Counts the characters the from-Unicode side could not map, then lets ICU write the
// substitution character. Fallback mappings (U+00A5 → 5C …) never reach this callback.
void CountingSubstitute(const void* context, UConverterFromUnicodeArgs* args,
                        const UChar* codeUnits, int32_t length, UChar32 codePoint,
                        UConverterCallbackReason reason, UErrorCode* err) {
    if (reason == UCNV_UNASSIGNED || reason == UCNV_ILLEGAL || reason == UCNV_IRREGULAR) {
        int* counter = static_cast<int*>(const_cast<void*>(context));
        ++*counter;
    }
    UCNV_FROM_U_CALLBACK_SUBSTITUTE(nullptr, args, codeUnits, length, codePoint, reason, err);
}

// One opened windows-31j converter per thread: opening costs far more than a datagram's
// conversion, and a converter must not be shared between threads.
class Cp932Converter {
  public:
    Cp932Converter() {
        UErrorCode err = U_ZERO_ERROR;
        // "cp932" and "Shift_JIS" reach the same converter but with a warning status;
        // "ibm-943" is the JIS variant and maps 0x5C to the yen sign.
        cv_ = ucnv_open("windows-31j", &err);
        if (U_FAILURE(err)) {
            cv_ = nullptr;
            return;
        }
        ucnv_setFallback(cv_, true);
        err = U_ZERO_ERROR;
        ucnv_setSubstChars(cv_, "?", 1, &err);  // also makes bad bytes decode to U+FFFD
        err = U_ZERO_ERROR;
        ucnv_setFromUCallBack(cv_, CountingSubstitute, &substitutions_, nullptr, nullptr, &err);
        if (U_FAILURE(err)) {
            ucnv_close(cv_);
            cv_ = nullptr;
        }
    }
    ~Cp932Converter() {
        if (cv_ != nullptr) ucnv_close(cv_);
    }
    Cp932Converter(const Cp932Converter&) = delete;
    Cp932Converter& operator=(const Cp932Converter&) = delete;

    UConverter* get() { return cv_; }
    int& substitutions() { return substitutions_; }

    // Scratch buffers reused from call to call to spare an allocation per datagram.
    std::vector<UChar> utf16;

  private:
    UConverter* cv_ = nullptr;
    int substitutions_ = 0;
};

Cp932Converter& ThreadConverter() {
    thread_local Cp932Converter converter;
    return converter;
}

bool FitsInt32(std::size_t n) {
    return n < static_cast<std::size_t>(std::numeric_limits<int32_t>::max() / 4);
}

// Without ICU data only ASCII can be converted; everything else is substituted.
std::string AsciiOnlyDecode(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c < 0x80)
            out += static_cast<char>(c);
        else
            out += "\xEF\xBF\xBD";
    }
    return out;
}

std::string AsciiOnlyEncode(std::string_view utf8, int* substitutions) {
    std::string out;
    int subs = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if ((c & 0xC0) != 0x80) {  // one '?' per character, not per byte
            out += '?';
            ++subs;
        }
    }
    if (substitutions != nullptr) *substitutions = subs;
    return out;
}

// UTF-16 of `len` units to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const UChar* src, int32_t len) {
    std::string out(static_cast<std::size_t>(len) * 3, '\0');
    int32_t written = 0;
    UErrorCode err = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &written, src, len, 0xFFFD,
                       nullptr, &err);
    if (U_FAILURE(err)) return {};
    out.resize(static_cast<std::size_t>(written));
    return out;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view bytes) {
    if (bytes.empty()) return {};
    Cp932Converter& conv = ThreadConverter();
    if (conv.get() == nullptr || !FitsInt32(bytes.size())) return AsciiOnlyDecode(bytes);

    // Every CP932 character, valid or not, yields exactly one UTF-16 unit, so one unit per
    // byte is always enough; the retry covers the impossible case all the same.
    std::vector<UChar>& buf = conv.utf16;
    buf.resize(bytes.size() + 1);
    UErrorCode err = U_ZERO_ERROR;
    int32_t len = ucnv_toUChars(conv.get(), buf.data(), static_cast<int32_t>(buf.size()),
                                bytes.data(), static_cast<int32_t>(bytes.size()), &err);
    if (err == U_BUFFER_OVERFLOW_ERROR) {
        buf.resize(static_cast<std::size_t>(len) + 1);
        err = U_ZERO_ERROR;
        len = ucnv_toUChars(conv.get(), buf.data(), static_cast<int32_t>(buf.size()), bytes.data(),
                            static_cast<int32_t>(bytes.size()), &err);
    }
    if (U_FAILURE(err)) return AsciiOnlyDecode(bytes);
    return Utf16ToUtf8(buf.data(), len);
}

std::string Utf8ToCp932(std::string_view utf8, int* substitutions) {
    if (substitutions != nullptr) *substitutions = 0;
    if (utf8.empty()) return {};
    Cp932Converter& conv = ThreadConverter();
    if (conv.get() == nullptr || !FitsInt32(utf8.size()))
        return AsciiOnlyEncode(utf8, substitutions);

    // UTF-8 never needs more UTF-16 units than it has bytes. Malformed sequences become
    // U+FFFD, which CP932 lacks, so the callback counts them like any unmappable character.
    std::vector<UChar>& buf = conv.utf16;
    buf.resize(utf8.size() + 1);
    int32_t units = 0;
    UErrorCode err = U_ZERO_ERROR;
    u_strFromUTF8WithSub(buf.data(), static_cast<int32_t>(buf.size()), &units, utf8.data(),
                         static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr, &err);
    if (U_FAILURE(err)) return AsciiOnlyEncode(utf8, substitutions);

    std::string out(static_cast<std::size_t>(
                        UCNV_GET_MAX_BYTES_FOR_STRING(units, ucnv_getMaxCharSize(conv.get()))),
                    '\0');
    conv.substitutions() = 0;
    err = U_ZERO_ERROR;
    const int32_t written = ucnv_fromUChars(
        conv.get(), out.data(), static_cast<int32_t>(out.size()), buf.data(), units, &err);
    if (U_FAILURE(err)) return AsciiOnlyEncode(utf8, substitutions);
    out.resize(static_cast<std::size_t>(written));
    if (substitutions != nullptr) *substitutions = conv.substitutions();
    return out;
}

}  // namespace velmora
