// A learner's recmenu that never tests its reads: once the input has ended,
// every extraction fails at once, the old choice is answered again, and the
// menu is printed for ever.
#include <cctype>
#include <iostream>

int main() {
    char choice = 'u';
    bool done = false;
    do {
        std::cout << "Menu\n"
                     "Action       Selection Character\n"
                     "Add            a\n"
                     "Delete         d\n"
                     "Modify         m\n"
                     "Save Records   s\n"
                     "Read File      f\n"
                     "Quit W/O Save  n\n"
                     "Quit With Save q\n"
                     "\n"
                     "Input Menu Choice: ";
        std::cin >> choice;
        std::cout << "Menu Action: ";
        switch (std::tolower(static_cast<unsigned char>(choice))) {
        case 'a':
            std::cout << "Add a Record to DB" << std::endl;
            break;
        case 'd':
            std::cout << "Delete Record from DB" << std::endl;
            break;
        case 'm':
            std::cout << "Modifying Record" << std::endl;
            break;
        case 'f':
            std::cout << "Reading in new DB file" << std::endl;
            break;
        case 'q':
            std::cout << "Saving DB Records to file" << std::endl;
            [[fallthrough]];
        case 'n':
            std::cout << "Exiting Records Program" << std::endl;
            done = true;
            break;
        default:
            std::cout << "Unknown Action" << std::endl;
        }
    } while (!done);
    return 0;
}
