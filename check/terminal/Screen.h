// What a person sees on a terminal, rendered by libvterm (the terminal
// emulator Neovim uses): a program's prompt drawn with cursor moves looks
// the same as one written plainly, as it does on a real terminal.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

struct VTerm;

// What a person sees on a terminal of `columns` x `rows` cells after some
// bytes reached it, scrolling back as far as the terminal keeps.
//
// Two screens look the same only when both their rows() and their cursor()
// are equal: rows() drops trailing blanks, so "Enter C1: " and "Enter C1:"
// give the same row, with the cursor at column 10 and at column 9.
//
// Any bytes may be written: what is not valid UTF-8 shows as U+FFFD, as do
// the few characters libvterm 0.1.4 mishandles (C1 controls, and marks it
// takes for wide); a character may come in pieces, over several writes; an
// answer the terminal would send back (to "\x1b[6n", say) is dropped, and
// what sets a window title or rings the bell changes nothing.  Memory stays
// within rowsKept rows of scrollback, and time grows with the bytes written.
// The size is fixed: a program cannot resize the terminal.  A program that
// switches to the alternate screen ("\x1b[?1049h") draws there, and its
// rows scroll into no scrollback; switching back shows the main screen again.
class Screen {
public:
    // How many rows that scrolled off the top a screen keeps unless told.
    static constexpr std::size_t ROWS_KEPT = 10000;

    // Throws std::invalid_argument for fewer than two columns or one row.
    explicit Screen(int columns = 80, int rows = 24, std::size_t rowsKept = ROWS_KEPT);
    ~Screen();
    // libvterm cannot copy a terminal; a screen moves.
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;
    Screen(Screen&&) noexcept;
    Screen& operator=(Screen&&) noexcept;

    // Bytes as the terminal receives them: the program's output after the
    // line discipline (a newline arrives as "\r\n" when ONLCR is on) and the
    // echo of typed input.  A "\n" alone moves down without returning to
    // the first column, as on any terminal.
    void write(const std::string& bytes);

    // Every row from the first kept one that scrolled off the top to the
    // last row that holds anything or the cursor, as UTF-8 text, each
    // without its trailing blanks.  A row of blanks is "".
    std::vector<std::string> rows() const;

    struct Position {
        std::size_t row;     // indexes rows()
        std::size_t column;  // in cells, from 0: a double-width character takes two
        bool operator==(const Position& other) const {
            return row == other.row && column == other.column;
        }
        bool operator!=(const Position& other) const { return !(*this == other); }
    };
    // Where the cursor stands.  After a character written into the last
    // column it stays on that column until the next character wraps.
    Position cursor() const;

    // More rows scrolled off than are kept, so the first ones are lost.
    bool overflowed() const;

private:
    struct Scrollback;
    struct Input;
    struct FreeTerminal {
        void operator()(VTerm* terminal) const;
    };
    // The scrollback lives apart, where libvterm's callback finds it even
    // after the screen has moved.
    std::unique_ptr<Scrollback> scrollback_;
    std::unique_ptr<VTerm, FreeTerminal> terminal_;
    // What the bytes so far leave open for the next ones (Screen.cpp).
    std::unique_ptr<Input> input_;
};

// The screen a text shows when a program writes it to a pseudo-terminal that
// turns "\n" into "\r\n" (ONLCR, the default): a case's expected output,
// rendered the way a program's output is.
Screen screenOf(const std::string& text, int columns = 80, int rows = 24,
                std::size_t rowsKept = Screen::ROWS_KEPT);
