// The reader's and the writer's searches over runs of bytes give the byte-by-byte answer, whether a run
// is looked at sixteen bytes at a time or not.
#include <gtest/gtest.h>

#include <string>

#include "xml/ByteSearch.h"

using namespace std::string_view_literals;

TEST(ByteSearch, FindCopyUntilAndSkipControlsAnswerAsAByteByByteLook) {
    // A set with control bytes, where a control byte outside it (TAB here) is only a candidate.
    constexpr xmlscan::ByteSet set("=/"sv, "\r "sv);
    for (size_t length = 0; length <= 40; ++length) {
        for (size_t stop = 0; stop <= length; ++stop) {
            for (char byte : {'=', '/', '\r', ' '}) {
                // Plain bytes with a TAB every seventh, and the byte of the set at stop (none at length).
                std::string text(length, 'a');
                for (size_t i = 3; i < length; i += 7) text[i] = '\t';
                if (stop < length) text[stop] = byte;
                const char* begin = text.data();
                const char* end = begin + length;
                SCOPED_TRACE(testing::Message() << "length " << length << " stop " << stop << " byte " << int(byte));
                EXPECT_EQ(set.Find(begin, end) - begin, static_cast<std::ptrdiff_t>(stop));

                std::string copy(length + 1, '#');
                char* out = copy.data();
                EXPECT_EQ(set.CopyUntil(out, begin, end) - begin, static_cast<std::ptrdiff_t>(stop));
                EXPECT_EQ(out - copy.data(), static_cast<std::ptrdiff_t>(stop));
                EXPECT_EQ(copy.substr(0, stop), text.substr(0, stop));
                EXPECT_EQ(copy[length], '#');  // nothing written past the run

                // The first byte above code 32 after a run of control bytes.
                std::string controls(stop, '\t');
                controls += std::string(length - stop, 'x');
                EXPECT_EQ(xmlscan::SkipControls(controls.data(), controls.data() + length) - controls.data(),
                          static_cast<std::ptrdiff_t>(stop));
            }
        }
    }
}
