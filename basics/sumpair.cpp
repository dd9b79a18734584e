// Reads two integers and prints their sum twice: once kept in a variable,
// once straight from the function call.
#include <iostream>

// Widened before adding, so no two ints can overflow the sum.
long long add(int a, int b) {
    long long sum = static_cast<long long>(a) + b;
    return sum;
}

int main() {
    // An entry that cannot be read leaves its variable at 0.
    int a = 0;
    int b = 0;

    std::cout << "Demo to Sum two integers" << std::endl;
    std::cout << "Enter Interger a: ";
    std::cin >> a;
    std::cout << "Enter Interger b: ";
    std::cin >> b;

    long long answer = add(a, b);
    std::cout << "Answer: " << answer << std::endl;
    std::cout << "Or without temporary variable answer:" << std::endl;
    std::cout << "Answer: " << add(a, b) << std::endl;
    return 0;
}
