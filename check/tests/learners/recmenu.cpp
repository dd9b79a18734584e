// A learner's recmenu in C++, written from the manual page: a menu loop
// driven by a switch on a character.
#include <cctype>
#include <cerrno>
#include <cstring>
#include <iostream>

const char ADD = 'a';
const char DELETE = 'd';
const char MODIFY = 'm';
const char SAVE = 's';
const char READ_FILE = 'f';
const char QUIT_NO_SAVE = 'n';
const char QUIT_SAVE = 'q';

void showMenu() {
    std::cout << "Menu\n"
              << "Action       Selection Character\n"
              << "Add            " << ADD << '\n'
              << "Delete         " << DELETE << '\n'
              << "Modify         " << MODIFY << '\n'
              << "Save Records   " << SAVE << '\n'
              << "Read File      " << READ_FILE << '\n'
              << "Quit W/O Save  " << QUIT_NO_SAVE << '\n'
              << "Quit With Save " << QUIT_SAVE << '\n'
              << '\n'
              << "Input Menu Choice: ";
}

int main() {
    char choice;
    bool running = true;

    while (running) {
        showMenu();
        if (!(std::cin >> choice)) {  // end of input before a quit letter
            std::cout << '\n';
            break;
        }
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
        case QUIT_SAVE:
            std::cout << "Saving DB Records to file\n";
            [[fallthrough]];  // saving, then quitting
        case QUIT_NO_SAVE:
            std::cout << "Exiting Records Program\n";
            running = false;
            break;
        default:
            std::cout << "Unknown Action\n";
            break;
        }

        if (!std::cout)
            break;
    }

    std::cout.flush();
    if (!std::cout) {
        std::cerr << "recmenu: write error: " << std::strerror(errno) << '\n';
        return 1;
    }
    return 0;
}
