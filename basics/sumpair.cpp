// Reads two integers and prints their sum twice: once kept in a variable,
// once straight from the function call.
#include <iostream>

// Widened before adding: a long long (64 bits here) holds the sum of any two
// ints (32 bits here), so the sum cannot overflow.
long long add(int a, int b) {
    long long sum = static_cast<long long>(a) + b;
    return sum;
}

int main() {
    // An entry that is not a number stores 0, one beyond int's range stores
    // the nearest limit, and either fails the stream; a read after that, or
    // at the end of input, stores nothing and leaves its 0.
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
