#include "conversions.h"

#include <iomanip>
#include <iostream>

namespace {

// The double nearest to five ninths, written out.  (f - 32) * 5 / 9 rounds
// twice and may end one bit away from the product with this constant.
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
