// A program built as a lesson is that prints and then aborts, its output
// and its errors into one pipe.  std::cerr flushes std::cout before it
// writes, and std::endl writes at once: all three lines come out, in order.
#include <cstdlib>
#include <iostream>

int main() {
    std::cout << "one, from std::cout\n";
    std::cerr << "two, from std::cerr\n";
    std::cout << "three, from std::cout" << std::endl;
    std::abort();
}
