// A learner's sumpair that asks both questions before it reads either: the
// same bytes through a pipe, but at a terminal it waits for a with the
// question for b already on screen.
#include <iostream>

int main() {
    int a = 0;
    int b = 0;
    std::cout << "Demo to Sum two integers" << std::endl;
    std::cout << "Enter Interger a: Enter Interger b: ";
    std::cin >> a >> b;
    std::cout << "Answer: " << static_cast<long long>(a) + b << std::endl;
    std::cout << "Or without temporary variable answer:" << std::endl;
    std::cout << "Answer: " << static_cast<long long>(a) + b << std::endl;
    return 0;
}
