#include "platform/term/input_decoder.h"

#include <charconv>

#include "platform/term/code_page.h"
#include "platform/term/key_tables.h"

namespace term {

namespace {

constexpr std::string_view pasteEnd = "\x1b[201~";
// A sequence longer than this is noise, not a key.
constexpr size_t longestSequence = 64;

// Length of the UTF-8 character that starts with this byte; 0 for a byte that
// cannot start one.
size_t utf8Length(uint8_t lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return lead >= 0xC2 ? 2 : 0;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return lead <= 0xF4 ? 4 : 0;
    return 0;
}

// Decodes one complete UTF-8 character of `len` bytes; -1 when malformed.
long utf8Value(std::string_view s, size_t len) {
    static constexpr uint8_t leadMask[5] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    long cp = static_cast<uint8_t>(s[0]) & leadMask[len];
    for (size_t k = 1; k < len; ++k) {
        uint8_t c = static_cast<uint8_t>(s[k]);
        if ((c & 0xC0) != 0x80) return -1;
        cp = (cp << 6) | (c & 0x3F);
    }
    return cp;
}

// The numbers of a parameter string "1;5" (a missing number is 0; sub-parameters
// after ":" are ignored).
std::vector<int> numbers(std::string_view params) {
    std::vector<int> out;
    size_t i = 0;
    while (i <= params.size()) {
        size_t j = params.find(';', i);
        if (j == std::string_view::npos) j = params.size();
        std::string_view item = params.substr(i, j - i);
        item = item.substr(0, item.find(':'));
        int v = 0;
        std::from_chars(item.data(), item.data() + item.size(), v);
        out.push_back(v);
        i = j + 1;
    }
    return out;
}

int parameter(const std::vector<int>& p, size_t index, int fallback) {
    return index < p.size() && p[index] != 0 ? p[index] : fallback;
}

// Alt + an ASCII key, as a terminal sends it with an Escape in front.
InputEvent altKey(uint8_t ch, uint32_t state) {
    state |= leftAltPressed;
    if (uint8_t scan = keys::altScanCode(ch)) {
        if (ch >= 'A' && ch <= 'Z') state |= shiftPressed;
        return extendedKey(scan, state);
    }
    switch (ch) {
        case '-': return extendedKey(keys::altMinus, state);
        case '=': return extendedKey(keys::altEquals, state);
        case 0x7F:
        case 0x08: return extendedKey(keys::backspace, state);
        case 0x0D:
        case 0x0A: return extendedKey(keys::enter, state);
        case 0x09: return characterKey(9, state);
        default: break;
    }
    if (ch < 0x20) return characterKey(ch, state | leftCtrlPressed);
    return characterKey(ch, state);
}

// A control byte typed on its own: Ctrl+letter gives its code 1..26 as the
// Windows console does; Enter is CR whether the terminal sends CR or LF, and
// Backspace is 8 whether it sends DEL or BS.
bool controlKey(uint8_t c, InputEvent& e) {
    switch (c) {
        case 0x00: return false;  // Ctrl+Space: no character
        case 0x0A:
        case 0x0D: e = characterKey(13); return true;
        case 0x08:
        case 0x7F: e = characterKey(8); return true;
        default: e = characterKey(c); return true;
    }
}

// A key reported as a character code with modifiers (xterm's modifyOtherKeys
// "ESC [ 27 ; m ; c ~" and the "ESC [ c ; m u" form).
bool modifiedCharacter(long code, uint32_t state, InputEvent& e) {
    if ((state & anyAltPressed) && code < 0x80 && keys::altScanCode(static_cast<uint8_t>(code))) {
        e = altKey(static_cast<uint8_t>(code), state & ~leftAltPressed);
        return true;
    }
    if ((state & anyCtrlPressed) && ((code >= 'a' && code <= 'z') || (code >= 'A' && code <= 'Z'))) {
        e = characterKey(static_cast<uint8_t>(code & 0x1F), state);
        return true;
    }
    switch (code) {
        case 9: e = (state & shiftPressed) ? extendedKey(keys::tab, state) : characterKey(9, state); return true;
        case 13: e = characterKey(13, state); return true;
        case 27: e = characterKey(27, state); return true;
        case 8:
        case 127: e = characterKey(8, state); return true;
        default: break;
    }
    if (code < 0x20) {
        e = characterKey(static_cast<uint8_t>(code), state);
        return true;
    }
    int b = unicodeToCp850(static_cast<char32_t>(code));
    if (b < 0) return false;
    e = characterKey(static_cast<uint8_t>(b), state);
    return true;
}

}  // namespace

void InputDecoder::feed(std::string_view bytes, std::vector<InputEvent>& out) {
    held_.append(bytes);
    decode(false, out);
}

int InputDecoder::waitMs() const {
    if (pasting_) return options_.pasteTimeoutMs;
    if (held_.empty()) return -1;
    if (held_[0] == '\x1b' && held_.size() <= 2) return options_.escapeTimeoutMs;
    return options_.sequenceTimeoutMs;
}

void InputDecoder::expire(std::vector<InputEvent>& out) {
    decode(true, out);
    held_.clear();
    pasting_ = false;
}

void InputDecoder::reset() {
    held_.clear();
    pasting_ = false;
    x10Pressed_ = 0;
}

void InputDecoder::decode(bool expired, std::vector<InputEvent>& out) {
    size_t at = 0;
    while (at < held_.size()) {
        size_t used = pasting_ ? decodePaste(at, expired, out) : decodeOne(at, expired, out);
        if (used == 0) break;
        at += used;
    }
    held_.erase(0, at);
}

size_t InputDecoder::decodeOne(size_t at, bool expired, std::vector<InputEvent>& out) {
    const uint8_t c = static_cast<uint8_t>(held_[at]);
    if (c == 0x1B) return decodeEscape(at, expired, out);
    if (c < 0x20 || c == 0x7F) {
        InputEvent e;
        if (controlKey(c, e)) out.push_back(e);
        return 1;
    }
    return decodeCharacter(at, expired, 0, out);
}

// One printable character (ASCII, UTF-8 or ISO 8859-1) as its CP850 code; a
// character that code page 850 lacks is dropped.
size_t InputDecoder::decodeCharacter(size_t at, bool expired, uint32_t state, std::vector<InputEvent>& out) {
    const uint8_t c = static_cast<uint8_t>(held_[at]);
    if (c < 0x80 || !options_.utf8) {
        int b = unicodeToCp850(c);
        if (b >= 0x20) out.push_back(characterKey(static_cast<uint8_t>(b), state));
        return 1;
    }
    const size_t len = utf8Length(c);
    if (len == 0) return 1;
    if (at + len > held_.size()) {
        // Cut between two reads: wait for the rest unless the time is up.
        for (size_t k = at + 1; k < held_.size(); ++k)
            if ((static_cast<uint8_t>(held_[k]) & 0xC0) != 0x80) return 1;
        return expired ? held_.size() - at : 0;
    }
    long cp = utf8Value(std::string_view(held_).substr(at), len);
    if (cp < 0) return 1;
    int b = unicodeToCp850(static_cast<char32_t>(cp));
    if (b >= 0x20 && b != 0x7F) out.push_back(characterKey(static_cast<uint8_t>(b), state));
    return len;
}

size_t InputDecoder::decodeEscape(size_t at, bool expired, std::vector<InputEvent>& out) {
    if (at + 1 >= held_.size()) {
        if (!expired) return 0;
        out.push_back(characterKey(27));
        return 1;
    }
    const uint8_t next = static_cast<uint8_t>(held_[at + 1]);
    if (next == '[') return decodeCsi(at, at + 2, expired, 0, out);
    if (next == 'O') return decodeSs3(at, at + 2, expired, 0, out);
    if (next == 0x1B) {
        // Escape twice: Alt + a key that is itself a sequence (rxvt's Alt+Up is
        // ESC ESC [ A), or the Esc key pressed and another Escape under way.
        if (at + 2 >= held_.size()) {
            if (!expired) return 0;
            out.push_back(characterKey(27));
            return 1;
        }
        const uint8_t third = static_cast<uint8_t>(held_[at + 2]);
        size_t used = 0;
        if (third == '[') used = decodeCsi(at + 1, at + 3, expired, leftAltPressed, out);
        else if (third == 'O') used = decodeSs3(at + 1, at + 3, expired, leftAltPressed, out);
        else {
            out.push_back(characterKey(27));
            return 1;
        }
        return used == 0 ? 0 : used + 1;
    }
    if (next >= 0x80) {
        size_t used = decodeCharacter(at + 1, expired, leftAltPressed, out);
        return used == 0 ? 0 : used + 1;
    }
    out.push_back(altKey(next, 0));
    return 2;
}

size_t InputDecoder::decodeCsi(size_t at, size_t from, bool expired, uint32_t alt, std::vector<InputEvent>& out) {
    const size_t size = held_.size();
    if (from >= size) {
        if (!expired) return 0;
        out.push_back(characterKey('[', leftAltPressed | alt));  // Alt+[ on its own
        return from - at;
    }
    const uint8_t first = static_cast<uint8_t>(held_[from]);
    if (first == '[') {
        // The Linux console's F1..F5: ESC [ [ A .. ESC [ [ E.
        if (from + 1 >= size) return expired ? size - at : 0;
        const uint8_t f = static_cast<uint8_t>(held_[from + 1]);
        if (f >= 'A' && f <= 'E') out.push_back(extendedKey(static_cast<uint8_t>(keys::f1 + (f - 'A')), alt));
        return from + 2 - at;
    }
    if (first == 'M') {
        // X10 mouse report: ESC [ M b x y, three raw bytes offset by 32.
        if (from + 4 > size) return expired ? size - at : 0;
        const int b = static_cast<uint8_t>(held_[from + 1]) - 32;
        const int x = static_cast<uint8_t>(held_[from + 2]) - 32;
        const int y = static_cast<uint8_t>(held_[from + 3]) - 32;
        if (!(b & (32 | 64))) {
            if ((b & 3) == 3) {
                if (x >= 1 && y >= 1) out.push_back(mouseRelease(y, x, x10Pressed_ ? x10Pressed_ : 1));
                x10Pressed_ = 0;
            } else {
                x10Pressed_ = (b & 3) == 0 ? 1 : (b & 3) == 2 ? 2 : 0;
            }
        }
        return from + 4 - at;
    }
    size_t q = from;
    while (q < size && held_[q] >= 0x30 && held_[q] <= 0x3F) ++q;
    // rxvt ends its shifted keys with "$", which would otherwise be an intermediate byte.
    if (q < size && held_[q] != '$')
        while (q < size && held_[q] >= 0x20 && held_[q] <= 0x2F) ++q;
    if (q - at > longestSequence) return q - at;
    if (q >= size) return expired ? size - at : 0;
    const uint8_t final = static_cast<uint8_t>(held_[q]);
    if (final != '$' && (final < 0x40 || final > 0x7E)) return q - at;  // broken off; the byte starts anew
    dispatchCsi(std::string_view(held_).substr(from, q - from), final, alt, out);
    return q + 1 - at;
}

void InputDecoder::dispatchCsi(std::string_view params, uint8_t final, uint32_t alt, std::vector<InputEvent>& out) {
    if (!params.empty() && params[0] == '<') {
        // SGR mouse report: ESC [ < b ; x ; y M (press) or m (release).
        if (final != 'm') return;
        std::vector<int> p = numbers(params.substr(1));
        if (p.size() < 3) return;
        const int b = p[0];
        if (b & (32 | 64)) return;  // motion and wheel
        const int button = (b & 3) == 0 ? 1 : (b & 3) == 2 ? 2 : 0;
        if (button && p[1] >= 1 && p[2] >= 1) out.push_back(mouseRelease(p[2], p[1], button));
        return;
    }
    if (!params.empty() && (params[0] == '?' || params[0] == '>' || params[0] == '=')) return;  // replies
    for (char c : params)
        if ((c < '0' || c > '9') && c != ';' && c != ':') return;
    const std::vector<int> p = numbers(params);
    const uint32_t mods = keys::modifierState(parameter(p, 1, 1)) | alt;
    InputEvent e;
    switch (final) {
        case '~': {
            const int n = parameter(p, 0, 0);
            if (n == 200) {
                pasting_ = true;
                return;
            }
            if (n == 27) {
                if (modifiedCharacter(parameter(p, 2, 0), mods, e)) out.push_back(e);
                return;
            }
            bool shifted = false;
            if (uint8_t key = keys::tildeKey(n, &shifted)) out.push_back(extendedKey(key, mods | (shifted ? uint32_t{shiftPressed} : 0u)));
            return;
        }
        case 'u':
            if (modifiedCharacter(parameter(p, 0, 0), mods, e)) out.push_back(e);
            return;
        case '^':
        case '@':
        case '$': {
            // rxvt: "$" Shift, "^" Ctrl, "@" Ctrl+Shift.
            bool shifted = false;
            uint8_t key = keys::tildeKey(parameter(p, 0, 0), &shifted);
            if (!key) return;
            uint32_t state = alt | (shifted ? uint32_t{shiftPressed} : 0u);
            if (final != '$') state |= leftCtrlPressed;
            if (final != '^') state |= shiftPressed;
            out.push_back(extendedKey(key, state));
            return;
        }
        case 'Z':
            out.push_back(extendedKey(keys::tab, mods | shiftPressed));
            return;
        case 'a': out.push_back(extendedKey(keys::up, alt | shiftPressed)); return;
        case 'b': out.push_back(extendedKey(keys::down, alt | shiftPressed)); return;
        case 'c': out.push_back(extendedKey(keys::right, alt | shiftPressed)); return;
        case 'd': out.push_back(extendedKey(keys::left, alt | shiftPressed)); return;
        default: break;
    }
    if (uint8_t key = keys::csiLetterKey(final)) {
        // "ESC [ 1 ; 5 D"; a few old terminals put the modifier first ("ESC [ 5 D").
        uint32_t state = mods;
        if (p.size() == 1 && p[0] > 1) state |= keys::modifierState(p[0]);
        out.push_back(extendedKey(key, state));
    }
}

size_t InputDecoder::decodeSs3(size_t at, size_t from, bool expired, uint32_t alt, std::vector<InputEvent>& out) {
    const size_t size = held_.size();
    if (from >= size) {
        if (!expired) return 0;
        out.push_back(altKey('O', alt));  // Alt+Shift+O on its own
        return from - at;
    }
    size_t q = from;
    while (q < size && ((held_[q] >= '0' && held_[q] <= '9') || held_[q] == ';')) ++q;
    if (q - at > longestSequence) return q - at;
    if (q >= size) return expired ? size - at : 0;
    const uint8_t final = static_cast<uint8_t>(held_[q]);
    // Some terminals put a modifier parameter here too ("ESC O 5 P"); the last number counts.
    std::vector<int> p = numbers(std::string_view(held_).substr(from, q - from));
    const uint32_t state = keys::modifierState(p.back()) | alt;
    if (uint8_t key = keys::ss3Key(final)) {
        out.push_back(extendedKey(key, state));
    } else if (final >= 'a' && final <= 'd') {
        // rxvt's Ctrl + cursor keys.
        static constexpr uint8_t arrows[4] = {keys::up, keys::down, keys::right, keys::left};
        out.push_back(extendedKey(arrows[final - 'a'], state | leftCtrlPressed));
    } else {
        uint8_t scan = 0;
        if (uint8_t ch = keys::ss3Character(final, &scan)) {
            // Alt + a keypad digit is the keypad key itself with Alt held, so that
            // Alt + digits on the keypad compose a character code.
            if ((state & anyAltPressed) && scan) out.push_back(extendedKey(scan, state));
            else out.push_back(characterKey(ch, state));
        }
    }
    return q + 1 - at;
}

size_t InputDecoder::decodePaste(size_t at, bool expired, std::vector<InputEvent>& out) {
    std::string_view rest = std::string_view(held_).substr(at);
    size_t end = rest.find(pasteEnd);
    if (end != std::string_view::npos) {
        emitPastedText(rest.substr(0, end), out);
        pasting_ = false;
        return end + pasteEnd.size();
    }
    if (expired) {
        emitPastedText(rest, out);
        pasting_ = false;
        return rest.size();
    }
    // Keep back what may be the beginning of the end marker or of a character.
    size_t keep = 0;
    for (size_t k = std::min(rest.size(), pasteEnd.size() - 1); k > 0; --k)
        if (rest.substr(rest.size() - k) == pasteEnd.substr(0, k)) {
            keep = k;
            break;
        }
    size_t safe = rest.size() - keep;
    if (options_.utf8) {
        size_t lead = safe;
        while (lead > 0 && safe - lead < 3 && (static_cast<uint8_t>(rest[lead - 1]) & 0xC0) == 0x80) --lead;
        if (lead > 0) {
            size_t len = utf8Length(static_cast<uint8_t>(rest[lead - 1]));
            if (len > 1 && lead - 1 + len > safe) safe = lead - 1;
        }
    }
    emitPastedText(rest.substr(0, safe), out);
    return safe;
}

// Pasted text arrives as typed characters. Line breaks and other control
// characters are dropped: a pasted line end must not act as Enter and leave the field.
void InputDecoder::emitPastedText(std::string_view bytes, std::vector<InputEvent>& out) {
    for (size_t i = 0; i < bytes.size();) {
        const uint8_t c = static_cast<uint8_t>(bytes[i]);
        size_t len = options_.utf8 ? utf8Length(c) : 1;
        if (len == 0 || i + len > bytes.size()) {
            ++i;
            continue;
        }
        long cp = len == 1 ? c : utf8Value(bytes.substr(i), len);
        i += len;
        if (cp < 0x20 || cp == 0x7F) continue;
        int b = unicodeToCp850(static_cast<char32_t>(cp));
        if (b >= 0x20 && b != 0x7F) out.push_back(characterKey(static_cast<uint8_t>(b)));
    }
}

}  // namespace term
