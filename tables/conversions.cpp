#include "conversions.h"

#include <iomanip>
#include <iostream>

namespace {

// The double nearest to five ninths, written out.  Multiplying by it is this
// program's rule, not the more accurate way: for whole degrees (f - 32) * 5
// is exact, so (f - 32) * 5 / 9 rounds once, while the product with this
// constant rounds twice (the constant, then the product) and in 47 of the
// 181 rows ends one bit further from five ninths of f - 32.  Printed to one
// decimal, the two give the same rows.
const double FIVE_NINTHS = 0.5555555555555556;

const int FIRST_WIDTH = 8;
const int SECOND_WIDTH = 10;

void printHeader(const char* title, const char* first, const char* second) {
    std::cout << title << std::endl;
    std::cout << std::setw(FIRST_WIDTH) << first << std::setw(SECOND_WIDTH) << second << std::endl;
}

}  // namespace

double CtoF(double celsius) {
    return celsius * 9.0 / 5.0 + 32.0;
}

double FtoC(double fahrenheit) {
    return (fahrenheit - 32.0) * FIVE_NINTHS;
}

void printCtoFHeader() {
    printHeader("Celsius to Fahrenheit table", "C", "F");
}

void printFtoCHeader() {
    printHeader("Fahrenheit to Celsius table", "F", "C");
}

void printRow(double from, double to) {
    std::cout << std::fixed << std::setprecision(1) << std::showpoint;
    std::cout << std::setw(FIRST_WIDTH) << from << std::setw(SECOND_WIDTH) << to << std::endl;
}
