// Reads two integers twice, first with a prompt for each, then both after a
// single prompt, and echoes each pair in columns four wide.
#include <iomanip>
#include <iostream>

int main() {
    // An entry that is not a number stores 0, one beyond int's range stores
    // the nearest limit, and either fails the stream.  A read on a failed
    // stream, or at the end of input, stores nothing: its variable keeps
    // what it had, 0 at first.
    int x = 0;
    int y = 0;

    std::cout << "Enter a value for x: ";
    std::cin >> x;
    std::cout << "Enter a value for y: ";
    std::cin >> y;
    // A field width holds for the next item only, so it is set before each number.
    std::cout << std::setw(4) << x << "\t" << std::setw(4) << y << std::endl;

    // One chained extraction: the two values may share a line or not.
    std::cout << "Input both x and y: x space y (ie: 3 4): ";
    std::cin >> x >> y;
    std::cout << std::setw(4) << x << "\t" << std::setw(4) << y << std::endl;
    return 0;
}
