#include "shiftcryptQuestions.h"

#include <iostream>
#include <string>

bool EncyrptOrDecyrpt() {
    std::cout << "Do you want to encyrpt or decyrpt text?(to encyrpt enter 1)" << std::endl;
    int choice = 0;
    std::cin >> choice;
    return choice == 1;
}

int keyfunc() {
    std::cout << "What is the key?" << std::endl;
    std::string word;
    std::cin >> word;
    // 64 bits hold the sum of any word that fits in memory.
    long long sum = 0;
    for (char c : word) {
        sum += static_cast<signed char>(c);
    }
    return static_cast<int>(sum % 23 + 3);
}
