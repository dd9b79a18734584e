#pragma once

// Celsius and Fahrenheit conversions and the heads of the two tables that
// thermotab prints.

double CtoF(double celsius);
double FtoC(double fahrenheit);

void printCtoFHeader();
void printFtoCHeader();

// One table row: both values in fixed form with one decimal, in columns 8
// and 10 wide.  fixed, setprecision and showpoint stay set on std::cout
// after the row; a field width lasts for one item only.
void printRow(double from, double to);
