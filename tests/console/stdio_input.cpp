// A program built as a lesson is that reads with std::cin and with C stdio
// in turn.  What std::cin has read is not lost to scanf, nor the other way
// round, and a prompt ended by "\n" is on screen at a terminal while scanf
// or getchar waits, though neither flushes std::cout.
#include <cstdio>
#include <iostream>

int main() {
    std::cout << "A number:\n";
    int number = 0;
    std::cin >> number;
    std::cout << "A word:\n";
    char word[64] = "";
    if (std::scanf("%63s", word) != 1) {
        word[0] = '\0';
    }
    std::cout << "A letter:\n";
    std::getchar();  // the newline after the word
    const int letter = std::getchar();
    char second = '?';
    std::cin >> second;
    std::cout << number << ' ' << word << ' ' << static_cast<char>(letter) << second << '\n';
    return 0;
}
