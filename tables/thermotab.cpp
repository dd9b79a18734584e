// Prints a Celsius to Fahrenheit table for 0 to 100 degrees and a Fahrenheit
// to Celsius table for 32 to 212 degrees, one row per whole degree.  A double
// counter stepped by 1.0 stays exact here: every whole number of this size
// is a double.  The conversions and the row format are in conversions.cpp.
#include "conversions.h"

int main() {
    printCtoFHeader();
    for (double celsius = 0.0; celsius <= 100.0; celsius += 1.0) {
        printRow(celsius, CtoF(celsius));
    }
    printFtoCHeader();
    for (double fahrenheit = 32.0; fahrenheit <= 212.0; fahrenheit += 1.0) {
        printRow(fahrenheit, FtoC(fahrenheit));
    }
    return 0;
}
