#include "core/fullwidth.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <memory>

namespace velmora {

namespace {

// Transliterators are not thread-safe and expensive to build: one per thread, built on
// first use. Null when ICU lacks the rules, in which case the text passes unchanged.
icu::Transliterator* ThreadTransliterator() {
    thread_local std::unique_ptr<icu::Transliterator> t = [] {
        UErrorCode err = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> made(icu::Transliterator::createInstance(
            icu::UnicodeString::fromUTF8("Halfwidth-Fullwidth; NFC"), UTRANS_FORWARD, err));
        if (U_FAILURE(err)) made.reset();
        return made;
    }();
    return t.get();
}

// The transliterator leaves a voiced mark that has nothing to combine with as a combining
// mark, and makes ﾜﾞ / ｦﾞ into ヷ / ヺ; CP932 has none of these, so they are spelt with the
// spacing marks instead.
icu::UnicodeString SpellWithSpacingMarks(const icu::UnicodeString& s) {
    icu::UnicodeString out;
    for (int32_t i = 0; i < s.length(); ++i) {
        const char16_t c = s.charAt(i);
        switch (c) {
            case u'\u3099':  // combining voiced mark
                out.append(u'\u309B');
                break;
            case u'\u309A':  // combining semi-voiced mark
                out.append(u'\u309C');
                break;
            case u'\u30F7':  // ヷ
                out.append(u'\u30EF').append(u'\u309B');
                break;
            case u'\u30F8':  // ヸ
                out.append(u'\u30F0').append(u'\u309B');
                break;
            case u'\u30F9':  // ヹ
                out.append(u'\u30F1').append(u'\u309B');
                break;
            case u'\u30FA':  // ヺ
                out.append(u'\u30F2').append(u'\u309B');
                break;
            default:
                out.append(c);
        }
    }
    return out;
}

}  // namespace

std::string ToFullWidth(std::string_view utf8) {
    if (utf8.empty()) return {};
    icu::Transliterator* t = ThreadTransliterator();
    if (t == nullptr) return std::string(utf8);

    icu::UnicodeString text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    t->transliterate(text);
    std::string out;
    SpellWithSpacingMarks(text).toUTF8String(out);
    return out;
}

}  // namespace velmora
