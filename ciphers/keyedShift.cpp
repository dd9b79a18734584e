#include "keyedShift.h"

#include <iostream>

#include "ShiftTable.h"
#include "letterVal.h"
#include "messageLine.h"

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

char shiftChar(char c, int shift) {
    if (isWhiteSpace(c)) {
        return c;
    }
    // In 64 bits neither 27 - shift nor code +/- shift can overflow, whatever
    // int the user typed.
    const long long threshold = 27LL - shift;
    const long long code = static_cast<signed char>(c);
    const long long moved = letterVal(c) < threshold ? code + shift : code - shift;
    return static_cast<char>(static_cast<unsigned char>(moved));
}

void shiftMessage(std::string& message, int shift) {
    const ShiftTable table([shift](char c) { return shiftChar(c, shift); });
    table.apply(message);
}
