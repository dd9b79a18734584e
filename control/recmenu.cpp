// A menu of record-keeping actions, each picked by one letter.  The letters
// are named constants, so the menu and the switch that answers it show and
// test the same letter for an action; which actions have a case is another
// matter (see SAVE_RECORDS).  No records exist: every action only says what
// it would do.
#include <cctype>
#include <iostream>

const char ADD = 'a';
const char DELETE = 'd';
const char MODIFY = 'm';
const char SAVE_RECORDS = 's';
const char READ_FILE = 'f';
const char QUIT_W_O_SAVE = 'n';
const char QUIT_W_SAVE = 'q';

// The labels are already blank-filled to one width, so the letters line up
// without any stream formatting.  The lines end with '\n', not std::endl: at
// a terminal each shows as it is ended all the same, and elsewhere the whole
// menu goes out with the prompt, as std::cin is tied to std::cout and
// flushes it before the choice is read.  A flush per line would cost a write
// per line, ten for every choice answered.
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

    do {
        printMenu();
        std::cout << "Input Menu Choice: ";
        // Once nothing more can be read the old choice would be answered
        // forever, so the prompt's line is ended and the menu stops.
        if (!(std::cin >> choice)) {
            std::cout << std::endl;
            break;
        }
        // tolower is defined only for the values of unsigned char (and EOF).
        // Where char is signed (amd64 and i386, not arm64 or armhf), a byte
        // of 128 or above would reach it as a negative number without the
        // conversion.
        choice = static_cast<char>(std::tolower(static_cast<unsigned char>(choice)));

        std::cout << "Menu Action: ";
        switch (choice) {
        case ADD:
            std::cout << "Add a Record to DB" << std::endl;
            break;
        case DELETE:
            std::cout << "Delete Record from DB" << std::endl;
            break;
        case MODIFY:
            std::cout << "Modifying Record" << std::endl;
            break;
        case READ_FILE:
            std::cout << "Reading in new DB file" << std::endl;
            break;
        // SAVE_RECORDS has no case of its own: the menu offers it, but the
        // letter s is answered like any unknown one.
        case QUIT_W_SAVE:
            std::cout << "Saving DB Records to file" << std::endl;
            // Saving first, then leaving exactly as without saving.  The
            // attribute changes nothing at run time; it tells the compiler
            // the fall is meant, and without it g++ -Wextra warns.
            [[fallthrough]];
        case QUIT_W_O_SAVE:
            std::cout << "Exiting Records Program" << std::endl;
            done = true;
            break;
        default:
            std::cout << "Unknown Action" << std::endl;
        }
    } while (!done);

    return 0;
}
