// A menu of record-keeping actions, each picked by one letter.  The letters
// are named constants, so the menu and the switch that answers it cannot
// drift apart.  No records exist: every action only says what it would do.
#include <cctype>
#include <iostream>

const char ADD = 'a';
const char DELETE = 'd';
const char MODIFY = 'm';
const char SAVE_RECORDS = 's';
const char READ_FILE = 'f';
const char QUIT_W_O_SAVE = 'n';
const char QUIT_W_SAVE = 'q';

// cin is not tied to cout (see main), so the prompt is pushed out by hand
// whenever the program is about to wait for a key.
void flushBeforeWaiting() {
    if (std::cin.rdbuf()->in_avail() <= 0) {
        std::cout.flush();
    }
}

// The labels are already blank-filled to one width, so the letters line up
// without any stream formatting.
void printMenu() {
    std::cout << "Menu\n";
    std::cout << "Action       Selection Character\n";
    std::cout << "Add            " << ADD << '\n';
    std::cout << "Delete         " << DELETE << '\n';
    std::cout << "Modify         " << MODIFY << '\n';
    std::cout << "Save Records   " << SAVE_RECORDS << '\n';
    std::cout << "Read File      " << READ_FILE << '\n';
    std::cout << "Quit W/O Save  " << QUIT_W_O_SAVE << '\n';
    std::cout << "Quit With Save " << QUIT_W_SAVE << '\n';
    std::cout << '\n';
}

int main() {
    char choice = 'u';
    bool done = false;

    // Choices typed ahead or piped in are answered without a flush per
    // line: a file of a million choices takes a moment, not a minute.
    std::ios::sync_with_stdio(false);
    std::cin.tie(nullptr);

    do {
        printMenu();
        std::cout << "Input Menu Choice: ";
        flushBeforeWaiting();
        // Once nothing more can be read the old choice would be answered
        // forever, so the prompt's line is ended and the menu stops.
        if (!(std::cin >> choice)) {
            std::cout << std::endl;
            break;
        }
        // tolower is defined only for the values of unsigned char (and EOF),
        // so a byte of 128 or above must not reach it as a negative char.
        choice = static_cast<char>(std::tolower(static_cast<unsigned char>(choice)));

        std::cout << "Menu Action: ";
        switch (choice) {
        case ADD:
            std::cout << "Add a Record to DB\n";
            break;
        case DELETE:
            std::cout << "Delete Record from DB\n";
            break;
        case MODIFY:
            std::cout << "Modifying Record\n";
            break;
        case READ_FILE:
            std::cout << "Reading in new DB file\n";
            break;
        // SAVE_RECORDS has no case of its own: the menu offers it, but the
        // letter s is answered like any unknown one.
        case QUIT_W_SAVE:
            std::cout << "Saving DB Records to file\n";
            // Saving first, then leaving exactly as without saving.
            [[fallthrough]];
        case QUIT_W_O_SAVE:
            std::cout << "Exiting Records Program" << std::endl;
            done = true;
            break;
        default:
            std::cout << "Unknown Action\n";
        }
    } while (!done);

    return 0;
}
