#include "platform/term/input_decoder.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using term::InputEvent;

// One event as a short word: "c61" a character, "x4B" an extended key, with
// "+A" / "+C" / "+S" for Alt, Ctrl and Shift; "m1@5,10" a release of button 1
// at row 5, column 10.
std::string describe(const InputEvent& e) {
    char buf[48];
    if (e.kind == InputEvent::Kind::mouseRelease) {
        std::snprintf(buf, sizeof buf, "m%d@%d,%d", e.button, e.row, e.column);
        return buf;
    }
    if (e.character) std::snprintf(buf, sizeof buf, "c%02X", e.character);
    else std::snprintf(buf, sizeof buf, "x%02X", e.scanCode);
    std::string s = buf;
    if (e.controlState) {
        s += "+";
        if (e.controlState & term::anyAltPressed) s += "A";
        if (e.controlState & term::anyCtrlPressed) s += "C";
        if (e.controlState & term::shiftPressed) s += "S";
    }
    return s;
}

std::string describe(const std::vector<InputEvent>& events) {
    std::string s;
    for (const InputEvent& e : events) {
        if (!s.empty()) s += " ";
        s += describe(e);
    }
    return s;
}

// Feeds each chunk as one read; `expire` lets the waiting time run out at the end.
std::string decode(const std::vector<std::string>& chunks, bool expire = true) {
    term::InputDecoder d;
    std::vector<InputEvent> out;
    for (const std::string& c : chunks) d.feed(c, out);
    if (expire) d.expire(out);
    return describe(out);
}

struct Row {
    const char* name;
    std::string bytes;
    const char* events;
};

void runTable(const std::vector<Row>& rows) {
    for (const Row& r : rows) {
        EXPECT_EQ(decode({r.bytes}), r.events) << r.name;
        // The same bytes arriving one at a time, without the waiting time running
        // out between them, decode alike.
        std::vector<std::string> single;
        for (char c : r.bytes) single.push_back(std::string(1, c));
        EXPECT_EQ(decode(single), r.events) << r.name << " (byte by byte)";
    }
}

TEST(InputDecoder, CharactersAndControlKeys) {
    runTable({
        {"ascii", "aZ 9", "c61 c5A c20 c39"},
        {"enter as CR and as LF", "\r\n", "c0D c0D"},
        {"tab", "\t", "c09"},
        {"backspace as DEL and as BS", "\x7f\x08", "c08 c08"},
        {"ctrl+c, ctrl+v, ctrl+y", "\x03\x16\x19", "c03 c16 c19"},
        {"ctrl+space gives nothing", std::string("\0a", 2), "c61"},
        {"accented letters typed as UTF-8", "\xC3\xA0\xC3\x87\xC3\xB1", "c85 c80 cA4"},
        {"box drawing character", "\xE2\x95\x94", "cC9"},
        {"character without a CP850 byte is dropped", "\xE2\x82\xAC" "a", "c61"},
        {"stray continuation byte is dropped", "\x80" "b", "c62"},
    });
}

TEST(InputDecoder, ExtendedKeysOfTheUsualTerminals) {
    runTable({
        {"xterm cursor keys", "\x1b[A\x1b[B\x1b[C\x1b[D", "x48 x50 x4D x4B"},
        {"application cursor keys", "\x1bOA\x1bOD", "x48 x4B"},
        {"xterm home/end", "\x1b[H\x1b[F\x1bOH\x1bOF", "x47 x4F x47 x4F"},
        {"keypad 5", "\x1b[E\x1bOE\x1b[G", "x4C x4C x4C"},
        {"editing keys", "\x1b[2~\x1b[3~\x1b[5~\x1b[6~", "x52 x53 x49 x51"},
        {"linux and rxvt home/end", "\x1b[1~\x1b[4~\x1b[7~\x1b[8~", "x47 x4F x47 x4F"},
        {"F1-F4 as SS3", "\x1bOP\x1bOQ\x1bOR\x1bOS", "x3B x3C x3D x3E"},
        {"F1-F5 vt220/rxvt", "\x1b[11~\x1b[12~\x1b[13~\x1b[14~\x1b[15~", "x3B x3C x3D x3E x3F"},
        {"F6-F12", "\x1b[17~\x1b[18~\x1b[19~\x1b[20~\x1b[21~\x1b[23~\x1b[24~", "x40 x41 x42 x43 x44 x85 x86"},
        {"linux console F1-F5", "\x1b[[A\x1b[[B\x1b[[E", "x3B x3C x3F"},
        {"shift+tab", "\x1b[Z", "x0F+S"},
        {"keypad enter and digits in application mode", "\x1bOM\x1bOq\x1bOp", "c0D c31 c30"},
        {"unknown sequences give nothing", "\x1b[99~\x1b[?1;2c\x1b[>0;276;0cx", "c78"},
    });
}

TEST(InputDecoder, XtermModifierParametersBecomeControlState) {
    runTable({
        {"ctrl+left", "\x1b[1;5D", "x4B+C"},
        {"ctrl+right, ctrl+home", "\x1b[1;5C\x1b[1;5H", "x4D+C x47+C"},
        {"shift+up", "\x1b[1;2A", "x48+S"},
        {"alt+f1", "\x1b[1;3P", "x3B+A"},
        {"ctrl+f4 and alt+f4", "\x1b[1;5S\x1b[1;3S", "x3E+C x3E+A"},
        {"shift+f12", "\x1b[24;2~", "x86+S"},
        {"ctrl+shift+f5", "\x1b[15;6~", "x3F+CS"},
        {"alt+ctrl+delete", "\x1b[3;7~", "x53+AC"},
        {"meta counts as alt", "\x1b[1;9D", "x4B+A"},
        {"SS3 with a modifier", "\x1bO5P", "x3B+C"},
        {"old form with the modifier first", "\x1b[5D", "x4B+C"},
        {"shift+tab with a modifier", "\x1b[1;2Z", "x0F+S"},
        {"modifyOtherKeys alt+a and ctrl+a", "\x1b[27;3;97~\x1b[27;5;97~", "x1E+A c01+C"},
        {"CSI u alt+x and shift+tab", "\x1b[120;3u\x1b[9;2u", "x2D+A x0F+S"},
    });
}

TEST(InputDecoder, RxvtVariants) {
    runTable({
        {"shift+arrows", "\x1b[a\x1b[b\x1b[c\x1b[d", "x48+S x50+S x4D+S x4B+S"},
        {"ctrl+arrows", "\x1bOa\x1bOd", "x48+C x4B+C"},
        {"shift/ctrl/ctrl+shift suffixes", "\x1b[2$\x1b[11^\x1b[3@", "x52+S x3B+C x53+CS"},
        {"shifted function keys beyond F12", "\x1b[25~\x1b[34~", "x3D+S x44+S"},
        {"alt as a doubled escape", "\x1b\x1b[A\x1b\x1bOP", "x48+A x3B+A"},
    });
}

TEST(InputDecoder, AltPrefixAndLoneEscape) {
    runTable({
        {"alt+a, alt+x, alt+c, alt+e", "\x1b" "a\x1bx\x1b" "c\x1b" "e", "x1E+A x2D+A x2E+A x12+A"},
        {"alt+shift+f", "\x1b" "F", "x21+AS"},
        {"alt+digits", "\x1b" "1\x1b" "9\x1b" "0", "x78+A x80+A x81+A"},
        {"alt+minus, alt+equals, alt+backspace", "\x1b-\x1b=\x1b\x7f", "x82+A x83+A x0E+A"},
        {"alt+punctuation", "\x1b,", "c2C+A"},
        {"alt+accented letter", "\x1b\xC3\xA0", "c85+A"},
        {"lone escape", "\x1b", "c1B"},
        {"two escapes", "\x1b\x1b", "c1B c1B"},
        {"escape before a character that follows later", "\x1b\x1b" "a", "c1B x1E+A"},
        {"alt+[ on its own", "\x1b[", "c5B+A"},
        {"alt+shift+o on its own", "\x1bO", "x18+AS"},
    });
}

TEST(InputDecoder, EscapeWaitsOnlyUntilTheTimeout) {
    term::InputDecoder d;
    std::vector<InputEvent> out;
    d.feed("\x1b", out);
    EXPECT_TRUE(out.empty());
    EXPECT_GE(d.waitMs(), 25);
    EXPECT_LE(d.waitMs(), 50);
    d.expire(out);
    EXPECT_EQ(describe(out), "c1B");
    EXPECT_EQ(d.waitMs(), -1);
    // Within the time a following letter makes it Alt+letter.
    out.clear();
    d.feed("\x1b", out);
    d.feed("x", out);
    EXPECT_EQ(describe(out), "x2D+A");
    EXPECT_EQ(d.waitMs(), -1);
}

TEST(InputDecoder, SequencesSplitBetweenReads) {
    EXPECT_EQ(decode({"\x1b[1;", "5D"}, false), "x4B+C");
    EXPECT_EQ(decode({"a\x1b", "[24;2~b"}, false), "c61 x86+S c62");
    EXPECT_EQ(decode({"\xC3", "\xA0"}, false), "c85");
    EXPECT_EQ(decode({"\x1b[<0;10;", "5m"}, false), "m1@5,10");
    EXPECT_EQ(decode({"\x1b[M", "#*%"}, false), "m1@5,10");
    // A sequence still incomplete when the time runs out is dropped, and what
    // follows decodes normally.
    EXPECT_EQ(decode({"\x1b[1;5"}, true), "");
    EXPECT_EQ(decode({"\x1b[1;5"}, false), "");
    term::InputDecoder d;
    std::vector<InputEvent> out;
    d.feed("\x1b[1;5", out);
    EXPECT_GT(d.waitMs(), 50);
    d.expire(out);
    d.feed("q", out);
    EXPECT_EQ(describe(out), "c71");
}

TEST(InputDecoder, MouseReleases) {
    runTable({
        {"SGR left press and release", "\x1b[<0;10;5M\x1b[<0;10;5m", "m1@5,10"},
        {"SGR right release", "\x1b[<2;80;25m", "m2@25,80"},
        {"SGR middle, wheel and motion are ignored", "\x1b[<1;3;3m\x1b[<64;3;3M\x1b[<35;3;3m", ""},
        {"SGR release with modifiers", "\x1b[<16;7;2m", "m1@2,7"},
        {"X10 left press and release", "\x1b[M \x2a\x25\x1b[M#\x2a\x25", "m1@5,10"},
        {"X10 right press and release", "\x1b[M\"!!\x1b[M#!!", "m2@1,1"},
        {"X10 wheel ignored", "\x1b[M`!!", ""},
    });
}

TEST(InputDecoder, BracketedPasteArrivesAsTypedCharacters) {
    runTable({
        {"plain text", "\x1b[200~abc\x1b[201~", "c61 c62 c63"},
        {"line ends and tabs are dropped", "\x1b[200~a\r\nb\tc\x1b[201~d", "c61 c62 c63 c64"},
        {"escape sequences inside are text", "\x1b[200~\x1b[Ax\x1b[201~", "c5B c41 c78"},
        {"accents", "\x1b[200~\xC3\xA0\xC3\xA9\x1b[201~", "c85 c82"},
    });
    // The end marker and a character cut between reads.
    EXPECT_EQ(decode({"\x1b[200~ab\x1b[20", "1~\x1b[A"}, false), "c61 c62 x48");
    EXPECT_EQ(decode({"\x1b[200~\xC3", "\xA0\x1b[201~"}, false), "c85");
    // Text is handed on while the paste goes on.
    term::InputDecoder d;
    std::vector<InputEvent> out;
    d.feed("\x1b[200~xy", out);
    EXPECT_EQ(describe(out), "c78 c79");
    EXPECT_TRUE(d.pasting());
    EXPECT_GT(d.waitMs(), 0);
    // A paste whose end never comes ends after a silence.
    d.expire(out);
    EXPECT_FALSE(d.pasting());
    out.clear();
    d.feed("\x1b[A", out);
    EXPECT_EQ(describe(out), "x48");
}

TEST(InputDecoder, AltKeypadKeysForCharacterEntry) {
    runTable({
        {"xterm without NumLock: alt+insert, alt+end, alt+down", "\x1b[2;3~\x1b[1;3F\x1b[1;3B", "x52+A x4F+A x50+A"},
        {"alt+keypad 5 and alt+pgup", "\x1b[1;3E\x1b[5;3~", "x4C+A x49+A"},
        {"escape-prefixed cursor keys", "\x1b\x1b[2~\x1b\x1b[F", "x52+A x4F+A"},
        {"application keypad digits with alt", "\x1b\x1bOq\x1b\x1bOw", "x4F+A x47+A"},
        {"alt+main row digits stay alt+digit", "\x1b" "1", "x78+A"},
    });
}

TEST(InputDecoder, Latin1Terminal) {
    term::DecoderOptions o;
    o.utf8 = false;
    term::InputDecoder d(o);
    std::vector<InputEvent> out;
    d.feed("\xE0\xC7", out);
    EXPECT_EQ(describe(out), "c85 c80");
}

TEST(InputDecoder, ResetForgetsWhatWasHeld) {
    term::InputDecoder d;
    std::vector<InputEvent> out;
    d.feed("\x1b[200~abc\x1b[1;", out);
    d.reset();
    out.clear();
    d.feed("5D", out);
    EXPECT_EQ(describe(out), "c35 c44");
}

}  // namespace

namespace {

// Noise of the kind a terminal sends (escape sequences, UTF-8, control bytes)
// never leaves the decoder stuck, and how the bytes are cut into reads does not
// change what comes out.
TEST(InputDecoder, RandomInputCutAnywhereDecodesAlikeAndNeverSticks) {
    static const char* pieces[] = {"\x1b", "[", "O", "<", "M", "m", ";", "1", "2", "5", "~", "A", "D", "P", "$",
                                   "^", "\xC3", "\xA0", "\xE2", "a", "\r", "\x7f", "[200~", "[201~", "\x80", "\xff"};
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    for (int round = 0; round < 2000; ++round) {
        std::string bytes;
        const int count = 1 + static_cast<int>(next() % 12);
        for (int k = 0; k < count; ++k) bytes += pieces[next() % (sizeof pieces / sizeof *pieces)];
        std::vector<std::string> chunks;
        for (size_t at = 0; at < bytes.size();) {
            const size_t len = 1 + next() % 4;
            chunks.push_back(bytes.substr(at, len));
            at += len;
        }
        EXPECT_EQ(decode(chunks), decode({bytes})) << testing::PrintToString(bytes);

        term::InputDecoder d;
        std::vector<InputEvent> out;
        d.feed(bytes, out);
        d.expire(out);
        EXPECT_EQ(d.waitMs(), -1);
        out.clear();
        d.feed("z", out);
        EXPECT_EQ(describe(out), "c7A") << testing::PrintToString(bytes);
    }
}

}  // namespace
