#include "conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ios>

#include "ConsoleCapture.h"

namespace {

// Returns what print wrote, leaving the number format of std::cout as it was.
template <typename Print>
std::string captured(Print print) {
    ConsoleCapture console;
    std::ios_base::fmtflags flags = std::cout.flags();
    std::streamsize precision = std::cout.precision();
    print();
    std::cout.flags(flags);
    std::cout.precision(precision);
    return console.output();
}

TEST(Conversions, FtoCUsesTheDoubleNearestFiveNinths) {
    EXPECT_EQ(FtoC(212.0), 100.0);
    EXPECT_FALSE(std::signbit(FtoC(32.0)));
    EXPECT_EQ(FtoC(39.0), 7.0 * (5.0 / 9.0));
    EXPECT_NE(FtoC(39.0), 7.0 * 5.0 / 9.0);  // five then nine ends a bit away
    EXPECT_EQ(CtoF(-40.0), -40.0);
}

TEST(Conversions, RowsShowOneDecimalInColumnsEightAndTenHeadsStayPlain) {
    std::string printed = captured([] {
        printRow(37.0, CtoF(37.0));
        printRow(100.0, CtoF(100.0));
        printFtoCHeader();
        printRow(50.0, FtoC(50.0));
        printRow(32.0, FtoC(32.0));
        printCtoFHeader();
    });
    EXPECT_EQ(printed,
              "    37.0      98.6\n"
              "   100.0     212.0\n"
              "Fahrenheit to Celsius table\n"
              "       F         C\n"
              "    50.0      10.0\n"
              "    32.0       0.0\n"
              "Celsius to Fahrenheit table\n"
              "       C         F\n");
}

}  // namespace
