#include "terminal/Screen.h"

#include <vterm.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

// libvterm fills the cell right of a double-width character with this.
constexpr std::uint32_t WIDE_CHARACTER_TAIL = 0xFFFFFFFF;
const char* const REPLACEMENT_CHARACTER = "\xEF\xBF\xBD";  // U+FFFD

void appendUtf8(std::string& text, std::uint32_t c) {
    if (c < 0x80) {
        text += static_cast<char>(c);
        return;
    }
    int continuations = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    static const unsigned char LEAD[] = {0, 0xC0, 0xE0, 0xF0};
    text += static_cast<char>(LEAD[continuations] | (c >> (6 * continuations)));
    for (int shift = 6 * (continuations - 1); shift >= 0; shift -= 6) {
        text += static_cast<char>(0x80 | ((c >> shift) & 0x3F));
    }
}

// A row of cells as text without its trailing blanks: a cell never written
// is a blank, as is one written with a space.
std::string rowText(const VTermScreenCell* cells, int columns) {
    std::string text;
    for (int column = 0; column < columns; ++column) {
        const VTermScreenCell& cell = cells[column];
        if (cell.chars[0] == WIDE_CHARACTER_TAIL) {
            continue;
        }
        if (cell.chars[0] == 0) {
            text += ' ';
        }
        for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && cell.chars[i] != 0; ++i) {
            appendUtf8(text, cell.chars[i]);
        }
    }
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

enum class Reading { whole, broken, unfinished };
struct Character {
    std::size_t length;
    Reading reading;
};

unsigned char byteAt(const std::string& bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]);
}

// The character that starts at `at`, as UTF-8 allows it (Unicode's table
// 3-7): whole, broken after `length` bytes that may begin one, or
// unfinished when the bytes end before it does.
Character characterAt(const std::string& bytes, std::size_t at) {
    const unsigned char lead = byteAt(bytes, at);
    if (lead < 0x80) {
        return {1, Reading::whole};
    }
    int continuations = 0;
    unsigned char lowest = 0x80;
    unsigned char highest = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        continuations = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        continuations = 2;
        lowest = lead == 0xE0 ? 0xA0 : lowest;    // no overlong form
        highest = lead == 0xED ? 0x9F : highest;  // no surrogate
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        continuations = 3;
        lowest = lead == 0xF0 ? 0x90 : lowest;    // no overlong form
        highest = lead == 0xF4 ? 0x8F : highest;  // nothing past U+10FFFF
    } else {
        return {1, Reading::broken};
    }
    std::size_t length = 1;
    for (; continuations > 0; --continuations, lowest = 0x80, highest = 0xBF) {
        if (at + length == bytes.size()) {
            return {length, Reading::unfinished};
        }
        const unsigned char next = byteAt(bytes, at + length);
        if (next < lowest || next > highest) {
            return {length, Reading::broken};
        }
        ++length;
    }
    return {length, Reading::whole};
}

std::uint32_t codePointAt(const std::string& bytes, std::size_t at, std::size_t length) {
    static const unsigned char LEAD_BITS[] = {0x7F, 0x1F, 0x0F, 0x07};
    std::uint32_t c = byteAt(bytes, at) & LEAD_BITS[length - 1];
    for (std::size_t i = 1; i < length; ++i) {
        c = c << 6 | (byteAt(bytes, at + i) & 0x3F);
    }
    return c;
}

// Characters that libvterm 0.1.4 mishandles.  It takes a C1 control
// (U+0080 to U+009F) for a character of width -1: the cursor steps back,
// and in insert mode ("\x1b[4h") memory is moved by a negative length.  It
// adds eight marks (U+302A to U+302F, U+3099, U+309A) to the character
// before and counts each two columns wide: forty of them make a character
// wider than the screen.  Both crash it.
bool mishandled(std::uint32_t c) {
    const bool c1Control = c >= 0x80 && c < 0xA0;
    const bool wideMark = (c >= 0x302A && c <= 0x302F) || c == 0x3099 || c == 0x309A;
    return c1Control || wideMark;
}

// The bytes as valid UTF-8 for libvterm, whose own decoder lets through a
// code point past U+10FFFF, and keeps a lead byte across escape sequences,
// to meet its continuation much later.  Each broken sequence and each
// character libvterm mishandles shows as U+FFFD, as browsers show what is
// not UTF-8; a character the bytes end inside of is kept in `unfinished`
// for the next bytes.
std::string shownUtf8(const std::string& bytes, std::string& unfinished) {
    const std::string all = unfinished + bytes;
    unfinished.clear();
    std::string text;
    text.reserve(all.size());
    for (std::size_t at = 0; at < all.size();) {
        const Character character = characterAt(all, at);
        if (character.reading == Reading::unfinished) {
            unfinished = all.substr(at);
            break;
        }
        if (character.reading == Reading::whole &&
            !mishandled(codePointAt(all, at, character.length))) {
            text.append(all, at, character.length);
        } else {
            text += REPLACEMENT_CHARACTER;
        }
        at += character.length;
    }
    return text;
}

// libvterm 0.1.4 decodes a run of text into an array on the stack as long
// as the bytes it is given: a few megabytes of text overflow the stack.  So
// it is given a few thousand bytes at a time, each ending between two
// characters.
void writeInPieces(VTerm* terminal, const std::string& text) {
    constexpr std::size_t PIECE = 4096;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = std::min(text.size(), at + PIECE);
        while (end < text.size() && (byteAt(text, end) & 0xC0) == 0x80) {
            --end;
        }
        vterm_input_write(terminal, text.data() + at, end - at);
        at = end;
    }
}

// A real terminal would send its answers (to "\x1b[6n", "\x1b[c") to the
// program as if typed; this one is only looked at.
void dropAnswer(const char*, std::size_t, void*) {}

std::string screenRowText(VTerm* terminal, int row) {
    int columns = 0;
    vterm_get_size(terminal, nullptr, &columns);
    const VTermScreen* screen = vterm_obtain_screen(terminal);
    std::vector<VTermScreenCell> cells(columns);
    for (int column = 0; column < columns; ++column) {
        vterm_screen_get_cell(screen, VTermPos{row, column}, &cells[column]);
    }
    return rowText(cells.data(), columns);
}

VTermPos cursorOf(VTerm* terminal) {
    VTermPos position;
    vterm_state_get_cursorpos(vterm_obtain_state(terminal), &position);
    return position;
}

}  // namespace

// The rows that scrolled off the top, as libvterm hands them over, the
// first ones dropped once more than `kept` have come.
struct Screen::Scrollback {
    explicit Scrollback(std::size_t kept) : kept(kept) {}

    void push(std::string row) {
        if (rows.size() == kept) {
            overflowed = true;
            if (rows.empty()) {
                return;
            }
            rows.pop_front();
        }
        rows.push_back(std::move(row));
    }

    static int keepRow(int columns, const VTermScreenCell* cells, void* scrollback) {
        static_cast<Scrollback*>(scrollback)->push(rowText(cells, columns));
        return 1;
    }

    static const VTermScreenCallbacks* callbacks() {
        static const VTermScreenCallbacks onlyScrolling = [] {
            VTermScreenCallbacks callbacks{};
            callbacks.sb_pushline = keepRow;
            return callbacks;
        }();
        return &onlyScrolling;
    }

    std::size_t kept;
    std::deque<std::string> rows;
    bool overflowed = false;
};

// The bytes a program wrote, on their way to libvterm.
struct Screen::Input {
    std::string forTerminal(const std::string& bytes) {
        std::string text = shownUtf8(bytes, unfinishedCharacter);
        cancelRepeats(text);
        return text;
    }

    // libvterm 0.1.4 repeats a double-width character into the last column
    // and past it (REP, "\x1b[<n>b"), which crashes it in insert mode: a
    // control sequence that ends in "b" is cancelled instead, its last byte
    // made a CAN.  Which bytes end an escape or a control sequence follows
    // libvterm's parser but errs towards the sequence going on: at worst, a
    // "b" after a broken sequence is cancelled too.
    void cancelRepeats(std::string& text) {
        for (char& byte : text) {
            const auto c = static_cast<unsigned char>(byte);
            if (c == 0x1B) {
                sequence = Sequence::escape;
            } else if (c == 0x18 || c == 0x1A) {
                sequence = Sequence::none;
            } else if (sequence == Sequence::escape && c == '[') {
                sequence = Sequence::control;
            } else if (sequence == Sequence::control && c == 'b') {
                byte = 0x18;
                sequence = Sequence::none;
            } else if ((c >= 0x40 && c <= 0x7E) ||
                       (c >= 0x30 && c <= 0x3F && sequence != Sequence::control)) {
                sequence = Sequence::none;
            }
        }
    }

    std::string unfinishedCharacter;
    enum class Sequence { none, escape, control };
    Sequence sequence = Sequence::none;
};

void Screen::FreeTerminal::operator()(VTerm* terminal) const {
    vterm_free(terminal);
}

Screen::Screen(int columns, int rows, std::size_t rowsKept)
    : scrollback_(std::make_unique<Scrollback>(rowsKept)), input_(std::make_unique<Input>()) {
    // libvterm 0.1.4 crashes on a double-width character in one column.
    if (columns < 2 || rows < 1) {
        throw std::invalid_argument("a screen needs two columns and a row at least");
    }
    terminal_.reset(vterm_new(rows, columns));
    if (!terminal_) {
        throw std::bad_alloc();
    }
    vterm_set_utf8(terminal_.get(), 1);
    vterm_output_set_callback(terminal_.get(), dropAnswer, nullptr);
    VTermScreen* screen = vterm_obtain_screen(terminal_.get());
    vterm_screen_enable_altscreen(screen, 1);
    vterm_screen_set_callbacks(screen, Scrollback::callbacks(), scrollback_.get());
    vterm_screen_reset(screen, 1);
}

Screen::~Screen() = default;
Screen::Screen(Screen&&) noexcept = default;
Screen& Screen::operator=(Screen&&) noexcept = default;

void Screen::write(const std::string& bytes) {
    writeInPieces(terminal_.get(), input_->forTerminal(bytes));
}

std::vector<std::string> Screen::rows() const {
    std::vector<std::string> all(scrollback_->rows.begin(), scrollback_->rows.end());
    int screenRows = 0;
    vterm_get_size(terminal_.get(), &screenRows, nullptr);
    for (int row = 0; row < screenRows; ++row) {
        all.push_back(screenRowText(terminal_.get(), row));
    }
    std::size_t cursorRow = cursor().row;
    while (all.size() > cursorRow + 1 && all.back().empty()) {
        all.pop_back();
    }
    return all;
}

Screen::Position Screen::cursor() const {
    VTermPos position = cursorOf(terminal_.get());
    return {scrollback_->rows.size() + static_cast<std::size_t>(position.row),
            static_cast<std::size_t>(position.col)};
}

bool Screen::overflowed() const {
    return scrollback_->overflowed;
}

Screen screenOf(const std::string& text, int columns, int rows, std::size_t rowsKept) {
    std::string bytes;
    bytes.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        if (c == '\n') {
            bytes += '\r';
        }
        bytes += c;
    }
    Screen screen(columns, rows, rowsKept);
    screen.write(bytes);
    return screen;
}
